#include "xlibplus/container/vector.h"

#include "tests/support/stdout_capture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

using xlibplus::xException;
using xlibplus::xInvalidIndexException;
using xlibplus::xVector;

struct Record {
    int a;
    int b;
    void* p;
    int c;
    int d;
};
static_assert(sizeof(Record) == 24);

xVector<int>* filled(int count) {
    auto* v = new xVector<int>;
    for (int i = 0; i < count; ++i)
        (*v)[v->appendElements(1)] = i;
    return v;
}

TEST(Vector, GrowsByTwiceThePlusEight) {
    xVector<Record> v;
    EXPECT_EQ(v.size(), 0);
    EXPECT_EQ(v.capacity(), 0);
    EXPECT_EQ(v.appendElements(1), 0);
    EXPECT_EQ(v.capacity(), 8);
    for (int i = 1; i < 8; ++i)
        v.appendElements(1);
    EXPECT_EQ(v.capacity(), 8);
    v.appendElements(1);
    EXPECT_EQ(v.capacity(), 24);
    for (int i = 9; i < 25; ++i)
        v.appendElements(1);
    EXPECT_EQ(v.capacity(), 56);
    EXPECT_EQ(v.size(), 25);
    v.appendElements(100);
    EXPECT_EQ(v.capacity(), 133) << "twice plus eight is short: n + 8";
}

TEST(Vector, AppendingNothingReturnsTheCount) {
    std::unique_ptr<xVector<int>> v(filled(3));
    EXPECT_EQ(v->appendElements(0), 3);
    EXPECT_EQ(v->size(), 3);
    EXPECT_EQ(v->appendElements(-1), -1);
    EXPECT_EQ(v->insertElements(-1, 2), -1);
    EXPECT_EQ(v->size(), 3);
}

TEST(Vector, InsertPastTheEndGoesToTheEnd) {
    std::unique_ptr<xVector<int>> v(filled(3));
    EXPECT_EQ(v->insertElements(100, 2), 3);
    EXPECT_EQ(v->size(), 5);
    EXPECT_EQ((*v)[2], 2);
}

TEST(Vector, InsertInTheMiddleMovesTheRestUp) {
    std::unique_ptr<xVector<int>> v(filled(3));
    EXPECT_EQ(v->insertElements(1, 2), 1);
    (*v)[1] = 10;
    (*v)[2] = 11;
    EXPECT_EQ((*v)[0], 0);
    EXPECT_EQ((*v)[3], 1);
    EXPECT_EQ((*v)[4], 2);
}

TEST(Vector, ShrinksOnlyWhenMoreThanHalfGoes) {
    std::unique_ptr<xVector<int>> v(filled(30));
    v->setCapacity(56);
    ASSERT_EQ(v->capacity(), 56);
    v->setCapacity(40);
    EXPECT_EQ(v->capacity(), 56) << "16 is not more than 28";
    EXPECT_EQ(v->size(), 30);
    v->setCapacity(20);
    EXPECT_EQ(v->capacity(), 20) << "36 is more than 28";
    EXPECT_EQ(v->size(), 20);
    EXPECT_EQ((*v)[19], 19);
}

TEST(Vector, ClearKeepsOrFreesTheArray) {
    std::unique_ptr<xVector<int>> v(filled(10));
    v->clear(false);
    EXPECT_EQ(v->size(), 0);
    EXPECT_EQ(v->capacity(), 24);
    v->appendElements(3);
    v->clear(true);
    EXPECT_EQ(v->capacity(), 0);
    v->setCapacity(0);
}

TEST(Vector, BadIndexPrintsTheOperationAndThrows) {
    std::unique_ptr<xVector<int>> v(filled(2));
    for (int bad : {-1, 2, 100}) {
        std::string out = stdoutOf([&] {
            try {
                (*v)[bad];
                ADD_FAILURE() << "no throw for " << bad;
            } catch (const xException& e) {
                EXPECT_EQ(e.code(), 0);
                EXPECT_EQ(e.message().length(), 13u);
                EXPECT_STREQ(e.message().cStr(),
                             "\xB7\xC7\xB7\xA8\xB5\xC4\xCB\xF7\xD2\xFD\xD6\xB5!");
            }
        });
        EXPECT_EQ(out.rfind("THROW INVALID INDEX FROM ", 0), 0u) << out;
        EXPECT_NE(out.find("operator[]"), std::string::npos) << out;
        EXPECT_EQ(out.back(), '\n');
    }
    xVector<int> empty;
    EXPECT_THROW(empty[0], xInvalidIndexException);
}

struct Named {};

} // namespace

template <>
struct xlibplus::xVectorIndexOperation<Named, xlibplus::xEmptyLock<xlibplus::xEmptyLocker>,
                                       xlibplus::xEmptyLocker> {
    static const char* name(const char*) { return "a name of its own"; }
};

namespace {

TEST(Vector, ARecordTypeCanNameItsOperation) {
    xVector<Named> v;
    std::string out = stdoutOf([&] { EXPECT_THROW(v[0], xInvalidIndexException); });
    EXPECT_EQ(out, "THROW INVALID INDEX FROM a name of its own\n");
}

TEST(Vector, ElementCountsPast32BitsThrowAndKeepTheArray) {
    xVector<Record> v;
    v.appendElements(4);
    void* before = &v[0];
    try {
        v.appendElements(0x7FFFFFF0);
        FAIL() << "no throw";
    } catch (const char* message) {
        EXPECT_STREQ(message, "");
    }
    EXPECT_EQ(v.size(), 4);
    EXPECT_EQ(v.capacity(), 8);
    EXPECT_EQ(&v[0], before);
}

} // namespace
