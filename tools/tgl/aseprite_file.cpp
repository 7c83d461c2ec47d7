#include "tools/tgl/aseprite_file.h"

#include "image/limits.h"

#include <stdexcept>

namespace tgltool::aseprite {

namespace {

constexpr std::uint16_t kFileMagic = 0xA5E0, kFrameMagic = 0xF1FA;
constexpr std::size_t kHeaderBytes = 128, kFrameHeaderBytes = 16, kChunkHeaderBytes = 6;
enum ChunkType : std::uint16_t {
    kOldPalette = 0x0004,
    kOldPalette64 = 0x0011,
    kLayerChunk = 0x2004,
    kCelChunk = 0x2005,
    kTagsChunk = 0x2018,
    kPaletteChunk = 0x2019,
};
enum CelType : std::uint16_t { kRawCel = 0, kLinkedCel = 1, kCompressedCel = 2 };

[[noreturn]] void broken(const std::string& what) { throw std::runtime_error(what); }

// Little-endian fields of one stretch of the file; reading past its end is an error.
class Reader {
  public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::size_t left() const { return size_ - at_; }
    const std::uint8_t* here() const { return data_ + at_; }
    void skip(std::size_t n) {
        if (n > left()) broken("a chunk runs past its end");
        at_ += n;
    }
    std::uint32_t u8() { return take(1); }
    std::uint32_t u16() { return take(2); }
    std::uint32_t u32() { return take(4); }
    int s16() { return int(std::int16_t(take(2))); }
    std::string text() {
        const std::size_t length = u16();
        const std::uint8_t* start = here();
        skip(length);
        return std::string(reinterpret_cast<const char*>(start), length);
    }

  private:
    std::uint32_t take(int bytes) {
        if (std::size_t(bytes) > left()) broken("a chunk runs past its end");
        std::uint32_t value = 0;
        for (int i = 0; i < bytes; ++i)
            value |= std::uint32_t(data_[at_ + std::size_t(i)]) << (8 * i);
        at_ += std::size_t(bytes);
        return value;
    }

    const std::uint8_t* data_;
    std::size_t size_, at_ = 0;
};

class FileReader {
  public:
    explicit FileReader(const std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}
    File read();

  private:
    void header(Reader& in, std::uint32_t& frames, std::uint32_t& speed);
    void chunk(std::uint16_t type, Reader& in, Frame& frame);
    void layer(Reader& in);
    void cel(Reader& in, Frame& frame);
    void tags(Reader& in);
    void palette(Reader& in);
    void oldPalette(Reader& in, bool sixBits);

    const std::vector<std::uint8_t>& bytes_;
    File file_;
    std::vector<int> groupAtLevel_; // the last group read at each child level
    bool newPalette_ = false;
};

File FileReader::read() {
    Reader in(bytes_.data(), bytes_.size());
    std::uint32_t frames = 0, speed = 0;
    header(in, frames, speed);
    for (std::uint32_t f = 0; f < frames; ++f) {
        const std::size_t frameBytes = in.u32();
        if (frameBytes < kFrameHeaderBytes || frameBytes - 4 > in.left())
            broken("frame " + std::to_string(f) + " runs past the end of the file");
        Reader frameIn(in.here(), frameBytes - 4);
        in.skip(frameBytes - 4);
        if (frameIn.u16() != kFrameMagic) broken("frame " + std::to_string(f) + " is broken");
        const std::uint32_t oldChunks = frameIn.u16();
        Frame frame;
        const std::uint32_t duration = frameIn.u16();
        frame.duration = std::int32_t(duration > 0 ? duration : speed);
        frameIn.skip(2);
        const std::uint32_t newChunks = frameIn.u32();
        const std::uint32_t chunks = newChunks != 0 ? newChunks : oldChunks;
        for (std::uint32_t c = 0; c < chunks && frameIn.left() > 0; ++c) {
            const std::size_t size = frameIn.u32();
            if (size < kChunkHeaderBytes || size - 4 > frameIn.left())
                broken("a chunk of frame " + std::to_string(f) + " runs past the frame");
            Reader chunkIn(frameIn.here(), size - 4);
            frameIn.skip(size - 4);
            const auto type = std::uint16_t(chunkIn.u16());
            chunk(type, chunkIn, frame);
        }
        file_.frames.push_back(std::move(frame));
    }
    return std::move(file_);
}

void FileReader::header(Reader& in, std::uint32_t& frames, std::uint32_t& speed) {
    if (bytes_.size() < kHeaderBytes) broken("not an Aseprite file");
    in.u32(); // the file's size, which nothing relies on
    if (in.u16() != kFileMagic) broken("not an Aseprite file");
    frames = in.u16();
    file_.width = int(in.u16());
    file_.height = int(in.u16());
    const std::uint32_t depth = in.u16();
    if (depth != 32 && depth != 16 && depth != 8)
        broken("a colour depth of " + std::to_string(depth) + " bits is none Aseprite writes");
    file_.mode = ColourMode(depth);
    in.u32();         // flags: layer opacity is always read
    speed = in.u16(); // the old files' one frame time
    in.skip(8);
    file_.transparentIndex = int(in.u8());
    in.skip(kHeaderBytes - 29);
    file_.palette.assign(256, 0xFF000000u);
    for (std::uint32_t i = 0; i < 256; ++i) // a grey ramp until a palette says otherwise
        file_.palette[i] = 0xFF000000u | i << 16 | i << 8 | i;
}

void FileReader::chunk(std::uint16_t type, Reader& in, Frame& frame) {
    switch (type) {
    case kLayerChunk: layer(in); break;
    case kCelChunk: cel(in, frame); break;
    case kTagsChunk: tags(in); break;
    case kPaletteChunk: palette(in); break;
    case kOldPalette:
    case kOldPalette64:
        if (!newPalette_) oldPalette(in, type == kOldPalette64);
        break;
    default: break; // nothing that changes a picture
    }
}

void FileReader::layer(Reader& in) {
    Layer layer;
    const std::uint32_t flags = in.u16();
    const std::uint32_t type = in.u16();
    const std::size_t level = in.u16();
    in.skip(4);
    layer.blendMode = int(in.u16());
    layer.opacity = int(in.u8());
    in.skip(3);
    layer.name = in.text();
    layer.visible = (flags & 1) != 0;
    layer.background = (flags & 8) != 0;
    layer.group = type == 1;
    layer.tilemap = type == 2;
    if (level > groupAtLevel_.size()) broken("layer \"" + layer.name + "\" has no parent");
    layer.parent = level == 0 ? -1 : groupAtLevel_[level - 1];
    groupAtLevel_.resize(level);
    groupAtLevel_.push_back(int(file_.layers.size()));
    file_.layers.push_back(std::move(layer));
}

void FileReader::cel(Reader& in, Frame& frame) {
    Cel cel;
    cel.layer = int(in.u16());
    cel.x = in.s16();
    cel.y = in.s16();
    cel.opacity = int(in.u8());
    const std::uint32_t type = in.u16();
    cel.zIndex = in.s16();
    in.skip(5);
    if (cel.layer >= int(file_.layers.size())) broken("a cel names a layer that does not exist");
    if (type == kLinkedCel) {
        const std::size_t linked = in.u16();
        if (linked >= file_.frames.size()) broken("a linked cel names a later frame");
        for (const Cel& other : file_.frames[linked].cels)
            if (other.layer == cel.layer) frame.cels.push_back(other);
        return;
    }
    if (type != kRawCel && type != kCompressedCel) return; // a tilemap: not drawn
    cel.width = int(in.u16());
    cel.height = int(in.u16());
    if (!InputLimits::withinImageLimits(std::uint64_t(cel.width), std::uint64_t(cel.height)))
        broken("a cel of " + std::to_string(cel.width) + " x " + std::to_string(cel.height) +
               " is past the image limits");
    cel.compressed = type == kCompressedCel;
    cel.data = in.here();
    cel.size = in.left();
    frame.cels.push_back(cel);
}

void FileReader::tags(Reader& in) {
    const std::uint32_t count = in.u16();
    in.skip(8);
    for (std::uint32_t i = 0; i < count; ++i) {
        Tag tag;
        tag.from = int(in.u16());
        tag.to = int(in.u16());
        tag.direction = int(in.u8());
        tag.repeat = int(in.u16());
        in.skip(6 + 3 + 1);
        tag.name = in.text();
        file_.tags.push_back(std::move(tag));
    }
}

void FileReader::palette(Reader& in) {
    newPalette_ = true;
    in.u32(); // the new size: entries past 256 are no index's
    const std::uint32_t first = in.u32(), last = in.u32();
    in.skip(8);
    if (first > last) broken("a palette chunk's range is backwards");
    for (std::uint32_t i = first; i <= last; ++i) {
        const std::uint32_t flags = in.u16();
        const std::uint32_t r = in.u8(), g = in.u8(), b = in.u8(), a = in.u8();
        if (flags & 1) in.text();
        if (i < 256) file_.palette[i] = a << 24 | r << 16 | g << 8 | b;
    }
}

void FileReader::oldPalette(Reader& in, bool sixBits) {
    const std::uint32_t packets = in.u16();
    std::uint32_t index = 0;
    for (std::uint32_t p = 0; p < packets; ++p) {
        index += in.u8();
        std::uint32_t colours = in.u8();
        if (colours == 0) colours = 256;
        for (std::uint32_t c = 0; c < colours; ++c, ++index) {
            std::uint32_t rgb[3];
            for (std::uint32_t& v : rgb) {
                v = in.u8();
                if (sixBits) v = (v << 2 | v >> 4) & 0xFF;
            }
            if (index < 256)
                file_.palette[index] = 0xFF000000u | rgb[0] << 16 | rgb[1] << 8 | rgb[2];
        }
    }
}

} // namespace

File read(const std::vector<std::uint8_t>& bytes) { return FileReader(bytes).read(); }

} // namespace tgltool::aseprite
