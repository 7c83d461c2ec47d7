#include "xlibplus/string/string.h"

#include "xlibplus/memory/memory_manager.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using xlibplus::kStringAllocationFailure;
using xlibplus::xStringA;

std::string contentOf(const xStringA& s) { return std::string(s.cStr(), s.length()); }

TEST(StringConstruction, EmptyStringsAllocateNothingAndStillGiveAText) {
    xStringA plain;
    xStringA fromNull(static_cast<const char*>(nullptr));
    xStringA fromEmpty("");
    for (xStringA* s : {&plain, &fromNull, &fromEmpty}) {
        EXPECT_EQ(s->length(), 0u);
        EXPECT_EQ(s->data(), nullptr);
        EXPECT_EQ(s->capacity(), 0u);
        ASSERT_NE(s->cStr(), nullptr);
        EXPECT_STREQ(s->cStr(), "");
    }
    EXPECT_EQ(plain.cStr(), fromEmpty.cStr()) << "one shared empty string";
}

TEST(StringConstruction, EmptiedContentKeepsItsBufferButNotItsText) {
    xStringA s("abc");
    s.assign("", 0);
    EXPECT_NE(s.data(), nullptr);
    EXPECT_NE(s.cStr(), s.data());
    EXPECT_STREQ(s.cStr(), "");
}

TEST(StringConstruction, FromTextRangeAndCopy) {
    const char text[] = "hello world";
    xStringA whole(text);
    EXPECT_EQ(whole.length(), 11u);
    EXPECT_EQ(whole.capacity(), 15u);
    xStringA range(text + 6, text + 11);
    EXPECT_EQ(contentOf(range), "world");
    xStringA backwards(text + 5, text + 2);
    EXPECT_EQ(backwards.length(), 0u);

    xStringA copy(whole);
    copy.write("J", 1);
    EXPECT_EQ(contentOf(whole), "hello world");
    EXPECT_EQ(contentOf(copy), "Jello world");
    EXPECT_NE(copy.data(), whole.data());
}

TEST(StringConstruction, HoldsAnyBytesWithAZeroAfterThem) {
    const char bytes[] = {'a', '\0', 'b', '\xFF'};
    xStringA s(bytes, bytes + 4);
    EXPECT_EQ(s.length(), 4u);
    EXPECT_EQ(std::memcmp(s.cStr(), bytes, 4), 0);
    EXPECT_EQ(s.cStr()[4], '\0');
}

TEST(StringGrowth, ExactlyFourMoreWhenGrowingNeverShrinking) {
    xStringA s;
    s.setSize(10);
    EXPECT_EQ(s.capacity(), 14u);
    EXPECT_EQ(s.length(), 10u);
    EXPECT_EQ(s.data()[10], '\0');
    char* buffer = s.data();
    s.setSize(13);
    EXPECT_EQ(s.capacity(), 14u);
    EXPECT_EQ(s.data(), buffer);
    s.setSize(14);
    EXPECT_EQ(s.capacity(), 18u);
    s.setSize(2);
    EXPECT_EQ(s.capacity(), 18u);
    EXPECT_EQ(s.data()[2], '\0');
    s.setSize(0);
    EXPECT_EQ(s.length(), 0u);
    EXPECT_EQ(s.capacity(), 0u);
    EXPECT_EQ(s.data(), nullptr);
}

TEST(StringGrowth, BufferComesFromTheMemoryManager) {
    xStringA s("tagged");
    EXPECT_STREQ(xlibplus::xBlockTag(s.data()), "NONAME");
    EXPECT_GE(xlibplus::xBlockCapacity(s.data()), s.capacity());
}

TEST(StringGrowth, AppendOfItsOwnBytesSurvivesTheMove) {
    xStringA s("abcdefgh");
    for (int i = 0; i < 12; ++i)
        s.append(s.cStr(), s.length());
    EXPECT_EQ(s.length(), 8u << 12);
    EXPECT_EQ(contentOf(s).substr(s.length() - 8), "abcdefgh");
    EXPECT_EQ(contentOf(s).find_first_not_of("abcdefgh"), std::string::npos);
}

TEST(StringGrowth, SizesPast32BitsThrowAndChangeNothing) {
    xStringA s("keep");
    for (std::uint32_t n : {0xFFFFFFFFu, 0xFFFFFFFCu}) {
        try {
            s.setSize(n);
            FAIL() << "no throw for " << n;
        } catch (const char* message) {
            EXPECT_EQ(message, kStringAllocationFailure);
            EXPECT_STREQ(message, "\xB4\xB4\xBD\xA8\xC4\xDA\xB4\xE6\xCA\xA7\xB0\xDC!");
        }
        EXPECT_EQ(contentOf(s), "keep");
        EXPECT_EQ(s.capacity(), 8u);
    }
    EXPECT_THROW(s.append("x", 0xFFFFFFFFu - 4), const char*);
    EXPECT_EQ(contentOf(s), "keep");
}

TEST(StringGrowth, AFailedReallocationThrowsAndKeepsTheString) {
    xStringA s("keep");
    s.seek(2);
    // Too large for the memory manager, but not for 32-bit arithmetic.
    EXPECT_THROW(s.setSize(0xFFFFFFF0u), const char*);
    EXPECT_EQ(contentOf(s), "keep");
    EXPECT_EQ(s.tell(), 2u);
}

TEST(StringAssign, KeepsThePositionUnlessItMustMove) {
    xStringA s;
    s.setSize(10);
    s.seek(8);
    s.assign("abc");
    EXPECT_EQ(s.tell(), 8u) << "no resize took place";
    char buffer[4];
    EXPECT_EQ(s.read(buffer, 3), 0u);
    s.seek(0);
    EXPECT_EQ(s.read(buffer, 3), 3u);

    s.assign(nullptr, 0);
    EXPECT_EQ(s.tell(), 0u);

    xStringA other("0123456789012345678");
    s = other;
    EXPECT_EQ(contentOf(s), contentOf(other));
    s = "short";
    EXPECT_EQ(contentOf(s), "short");
}

TEST(StringText, ExtensionFromTheLastFullStopUnlessASlashComesFirst) {
    EXPECT_EQ(contentOf(xStringA("C:\\maps.old\\file").extension()), "");
    EXPECT_EQ(contentOf(xStringA("a/b.c.tgl").extension()), ".tgl");
    EXPECT_EQ(contentOf(xStringA("name.").extension()), ".");
    EXPECT_EQ(contentOf(xStringA(".tgl").extension()), ".tgl");
    EXPECT_EQ(contentOf(xStringA("file").extension()), "");
    EXPECT_EQ(contentOf(xStringA("stand_1.tgl.bak").extension()), ".bak");
    EXPECT_EQ(contentOf(xStringA("/home/me/.tgl").extension()), ".tgl");
    EXPECT_EQ(contentOf(xStringA().extension()), "");
}

TEST(StringText, CompareNoCase) {
    EXPECT_EQ(xStringA(".TGL").compareNoCase(".tgl"), 0);
    EXPECT_EQ(xStringA(".tGl").compareNoCase(".TgL"), 0);
    EXPECT_LT(xStringA("abc").compareNoCase("abd"), 0);
    EXPECT_GT(xStringA("b").compareNoCase("A"), 0);
    EXPECT_LT(xStringA().compareNoCase(".tgl"), 0);
}

TEST(StringStream, ReadStopsAtTheEnd) {
    xStringA s("abcdef");
    s.seek(4);
    char buffer[10] = {};
    EXPECT_EQ(s.read(buffer, 10), 2u);
    EXPECT_STREQ(buffer, "ef");
    EXPECT_EQ(s.tell(), 6u);
    EXPECT_TRUE(s.eof());
    EXPECT_EQ(s.read(buffer, 10), 0u);
    s.seek(100);
    EXPECT_EQ(s.tell(), 6u) << "seek stops at the end";
}

TEST(StringStream, WriteOverwritesThenAppends) {
    xStringA s("abcdef");
    s.seek(4);
    EXPECT_EQ(s.write("VWXYZ", 5), 5u);
    EXPECT_EQ(contentOf(s), "abcdVWXYZ");
    EXPECT_EQ(s.length(), 9u);
    EXPECT_EQ(s.tell(), 9u);

    s.seek(1);
    s.write("12", 2);
    EXPECT_EQ(contentOf(s), "a12dVWXYZ");
    EXPECT_EQ(s.tell(), 3u);
}

TEST(StringStream, WriteFromBeyondTheEndAppendsAtTheEnd) {
    xStringA s;
    s.setSize(10);
    s.seek(8);
    s.assign("abc"); // position stays 8, past the 3 bytes
    s.write("XY", 2);
    EXPECT_EQ(contentOf(s), "abcXY");
    EXPECT_EQ(s.tell(), 10u);
}

TEST(StringStream, WorksThroughBothStreamViews) {
    xStringA s;
    xlibplus::IOStream& out = s;
    out.write("stream", 6);
    xlibplus::IIStream& in = s;
    in.seek(0);
    EXPECT_EQ(in.remaining(), 6u);
    EXPECT_FALSE(in.needsByteSwap());
    char buffer[7] = {};
    EXPECT_EQ(in.read(buffer, 6), 6u);
    EXPECT_STREQ(buffer, "stream");
}

} // namespace

namespace {

// The default manager, refusing to grow any block while `refusing` is set.
// Made once and never destroyed: constructing it makes it the current manager
// for the rest of the process, where it behaves as the default one.
class RefusingManager : public xlibplus::xDefMM {
  public:
    static RefusingManager& instance() {
        static RefusingManager* manager = new RefusingManager;
        return *manager;
    }
    void* allocate(std::uint32_t size, const char* tag) override {
        return refusing ? nullptr : xDefMM::allocate(size, tag);
    }
    void* reallocate(void* block, std::uint32_t size) override {
        return refusing ? nullptr : xDefMM::reallocate(block, size);
    }
    bool refusing = false;
};

struct Snapshot {
    std::string bytes;
    std::uint32_t capacity;
    std::uint32_t position;
    const char* buffer;
    bool operator==(const Snapshot& o) const {
        return bytes == o.bytes && capacity == o.capacity && position == o.position &&
               buffer == o.buffer;
    }
};
Snapshot snapshot(xStringA& s) { return {contentOf(s), s.capacity(), s.tell(), s.data()}; }

// Every growing operation, once with a size past 32 bits and once needing a
// block the manager refuses: each throws and leaves the string as it was.
TEST(StringFailure, AThrowLeavesBytesLengthCapacityAndPositionAsTheyWere) {
    RefusingManager& manager = RefusingManager::instance();
    const std::string big(64, 'z');
    const struct {
        const char* name;
        void (*past32Bits)(xStringA&);
        void (*refused)(xStringA&, const std::string&);
    } operations[] = {
        {"assign", [](xStringA& s) { s.assign("p", 0xFFFFFFFFu); },
         [](xStringA& s, const std::string& b) { s.assign(b.data(), std::uint32_t(b.size())); }},
        {"append", [](xStringA& s) { s.append("p", 0xFFFFFFFFu - 2); },
         [](xStringA& s, const std::string& b) { s.append(b.data(), std::uint32_t(b.size())); }},
        {"write", [](xStringA& s) { s.write("xyzw", 0xFFFFFFFEu); },
         [](xStringA& s, const std::string& b) { s.write(b.data(), std::uint32_t(b.size())); }},
        {"setSize", [](xStringA& s) { s.setSize(0xFFFFFFFDu); },
         [](xStringA& s, const std::string& b) { s.setSize(std::uint32_t(b.size())); }},
    };
    for (const auto& op : operations) {
        SCOPED_TRACE(op.name);
        xStringA s("abc");
        s.seek(1);
        const Snapshot before = snapshot(s);
        EXPECT_THROW(op.past32Bits(s), const char*);
        EXPECT_EQ(snapshot(s), before);

        manager.refusing = true;
        EXPECT_THROW(op.refused(s, big), const char*);
        manager.refusing = false;
        EXPECT_EQ(snapshot(s), before);
        EXPECT_EQ(s.cStr()[s.length()], '\0');
    }
}

} // namespace
