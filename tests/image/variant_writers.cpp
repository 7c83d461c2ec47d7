#include "tests/image/variant_writers.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>

namespace variants {

namespace {

void be16(Bytes& b, std::uint32_t v) {
    b.push_back(std::uint8_t(v >> 8));
    b.push_back(std::uint8_t(v));
}
void be32(Bytes& b, std::uint32_t v) {
    be16(b, v >> 16);
    be16(b, v & 0xFFFF);
}
void le16(Bytes& b, std::uint32_t v) {
    b.push_back(std::uint8_t(v));
    b.push_back(std::uint8_t(v >> 8));
}
void le32(Bytes& b, std::uint32_t v) {
    le16(b, v & 0xFFFF);
    le16(b, v >> 16);
}

void chunk(Bytes& out, const char* type, const Bytes& data) {
    be32(out, std::uint32_t(data.size()));
    Bytes body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    out.insert(out.end(), body.begin(), body.end());
    be32(out, std::uint32_t(crc32(0, body.data(), uInt(body.size()))));
}

// Values of `bits` each, high bits first, the last byte padded.
class BitPacker {
  public:
    explicit BitPacker(Bytes& out) : out_(out) {}
    void put(std::uint32_t value, int bits) {
        if (bits >= 8) {
            for (int shift = bits - 8; shift >= 0; shift -= 8)
                out_.push_back(std::uint8_t(value >> shift));
            return;
        }
        acc_ = acc_ << bits | value;
        if ((used_ += bits) == 8) flush();
    }
    void flush() {
        if (used_ == 0) return;
        out_.push_back(std::uint8_t(acc_ << (8 - used_)));
        acc_ = used_ = 0;
    }

  private:
    Bytes& out_;
    std::uint32_t acc_ = 0;
    int used_ = 0;
};

std::uint8_t paeth(int a, int b, int c) {
    const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
    return std::uint8_t(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// The row's bytes, behind its filter type byte, filtered against `prior`.
void filterRow(std::uint8_t* row, std::size_t length, const Bytes& prior, std::size_t bpp) {
    const Bytes plain(row + 1, row + 1 + length);
    for (std::size_t i = 0; i < length; ++i) {
        const int a = i >= bpp ? plain[i - bpp] : 0, b = prior[i],
                  c = i >= bpp ? prior[i - bpp] : 0;
        const int predicted = row[0] == 1   ? a
                              : row[0] == 2 ? b
                              : row[0] == 3 ? (a + b) / 2
                              : row[0] == 4 ? paeth(a, b, c)
                                            : 0;
        row[1 + i] = std::uint8_t(plain[i] - predicted);
    }
}

int pngChannels(int colourType) {
    static const int channels[] = {1, 0, 3, 1, 2, 0, 4};
    return channels[colourType];
}

} // namespace

Bytes png(int width, int height, const PngVariant& variant,
          const std::vector<std::uint16_t>& samples) {
    Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes ihdr;
    be32(ihdr, std::uint32_t(width));
    be32(ihdr, std::uint32_t(height));
    ihdr.insert(ihdr.end(), {std::uint8_t(variant.depth), std::uint8_t(variant.colourType), 0, 0,
                             std::uint8_t(variant.interlaced)});
    chunk(out, "IHDR", ihdr);
    if (!variant.palette.empty()) chunk(out, "PLTE", variant.palette);
    if (!variant.transparency.empty()) chunk(out, "tRNS", variant.transparency);

    // Adam7's passes, or one pass of the whole image; the filters in turn.
    static const int x0[] = {0, 4, 0, 2, 0, 1, 0}, y0[] = {0, 0, 4, 0, 2, 0, 1},
                     dx[] = {8, 8, 4, 4, 2, 2, 1}, dy[] = {8, 8, 8, 4, 4, 2, 2};
    const int channels = pngChannels(variant.colourType);
    const std::size_t bpp = std::size_t(std::max(1, channels * variant.depth / 8));
    Bytes raw;
    BitPacker packer(raw);
    for (int pass = variant.interlaced ? 0 : 6; pass < 7; ++pass) {
        const int sx = variant.interlaced ? x0[pass] : 0, sy = variant.interlaced ? y0[pass] : 0;
        const int stepX = variant.interlaced ? dx[pass] : 1,
                  stepY = variant.interlaced ? dy[pass] : 1;
        if (sx >= width) continue;
        Bytes prior;
        for (int y = sy, n = 0; y < height; y += stepY, ++n) {
            const std::size_t start = raw.size();
            raw.push_back(std::uint8_t((variant.firstFilter + n) % 5));
            for (int x = sx; x < width; x += stepX)
                for (int c = 0; c < channels; ++c)
                    packer.put(samples[std::size_t((y * width + x) * channels + c)], variant.depth);
            packer.flush();
            const std::size_t length = raw.size() - start - 1;
            prior.resize(length);
            const Bytes plain(raw.begin() + std::ptrdiff_t(start + 1), raw.end());
            filterRow(&raw[start], length, prior, bpp);
            prior = plain;
        }
    }
    uLongf size = compressBound(uLong(raw.size()));
    Bytes idat(size);
    compress(idat.data(), &size, raw.data(), uLong(raw.size()));
    idat.resize(size);
    chunk(out, "IDAT", idat);
    chunk(out, "IEND", {});
    return out;
}

Bytes packRows(int width, int height, int bits, const std::vector<std::uint32_t>& values,
               bool topDown) {
    Bytes out;
    for (int r = 0; r < height; ++r) {
        const int y = topDown ? r : height - 1 - r;
        const std::size_t start = out.size();
        BitPacker packer(out);
        for (int x = 0; x < width; ++x) {
            const std::uint32_t v = values[std::size_t(y * width + x)];
            if (bits < 8)
                packer.put(v, bits);
            else
                for (int byte = 0; byte < bits / 8; ++byte)
                    out.push_back(std::uint8_t(v >> (8 * byte)));
        }
        packer.flush();
        while ((out.size() - start) % 4)
            out.push_back(0);
    }
    return out;
}

Bytes bmp(int width, int height, const BmpVariant& variant, const Bytes& pixelData) {
    const bool core = variant.infoSize == 12;
    const bool masksAfter = variant.infoSize == 40;
    const std::uint32_t entry = core ? 3 : 4;
    const std::uint32_t offset = 14 + variant.infoSize +
                                 (masksAfter ? std::uint32_t(variant.masks.size()) * 4 : 0) +
                                 std::uint32_t(variant.palette.size()) * entry + variant.gap;
    Bytes out = {'B', 'M'};
    le32(out, offset + std::uint32_t(pixelData.size()));
    le32(out, 0);
    le32(out, offset);
    Bytes info;
    le32(info, variant.infoSize);
    if (core) {
        le16(info, std::uint32_t(width));
        le16(info, std::uint32_t(height));
        le16(info, 1);
        le16(info, std::uint32_t(variant.bits));
    } else {
        le32(info, std::uint32_t(width));
        le32(info, std::uint32_t(variant.topDown ? -height : height));
        le16(info, 1);
        le16(info, std::uint32_t(variant.bits));
        le32(info, variant.compression);
        le32(info, std::uint32_t(pixelData.size()));
        le32(info, 2835);
        le32(info, 2835);
        le32(info, std::uint32_t(variant.palette.size()));
        le32(info, 0);
        if (!masksAfter)
            for (std::uint32_t mask : variant.masks)
                le32(info, mask);
        info.resize(variant.infoSize, 0);
    }
    out.insert(out.end(), info.begin(), info.end());
    if (masksAfter)
        for (std::uint32_t mask : variant.masks)
            le32(out, mask);
    for (std::uint32_t colour : variant.palette) {
        out.insert(out.end(),
                   {std::uint8_t(colour), std::uint8_t(colour >> 8), std::uint8_t(colour >> 16)});
        if (!core) out.push_back(0);
    }
    out.resize(out.size() + variant.gap, 0xEE);
    out.insert(out.end(), pixelData.begin(), pixelData.end());
    return out;
}

Bytes tga(int width, int height, const TgaVariant& variant, const Bytes& pixels) {
    const std::size_t step = std::size_t(variant.depth + 7) / 8;
    const std::size_t mapEntries = variant.map.size() / std::size_t((variant.mapBits + 7) / 8);
    Bytes out = {std::uint8_t(variant.id.size()), std::uint8_t(variant.map.empty() ? 0 : 1),
                 std::uint8_t(variant.type)};
    le16(out, std::uint32_t(variant.mapFirst));
    le16(out, std::uint32_t(mapEntries));
    out.push_back(std::uint8_t(variant.map.empty() ? 0 : variant.mapBits));
    le32(out, 0);
    le16(out, std::uint32_t(width));
    le16(out, std::uint32_t(height));
    out.insert(out.end(), {std::uint8_t(variant.depth), variant.descriptor});
    out.insert(out.end(), variant.id.begin(), variant.id.end());
    out.insert(out.end(), variant.map.begin(), variant.map.end());
    if (variant.type < 9) {
        out.insert(out.end(), pixels.begin(), pixels.end());
        return out;
    }
    // Runs of equal pixels as run packets, the rest as literal packets.
    const std::size_t count = pixels.size() / step;
    const auto same = [&](std::size_t a, std::size_t b) {
        return std::equal(pixels.begin() + long(a * step), pixels.begin() + long((a + 1) * step),
                          pixels.begin() + long(b * step));
    };
    for (std::size_t i = 0; i < count;) {
        std::size_t run = 1;
        while (i + run < count && run < 128 && same(i, i + run))
            ++run;
        if (run > 1) {
            out.push_back(std::uint8_t(0x80 | (run - 1)));
            out.insert(out.end(), pixels.begin() + long(i * step),
                       pixels.begin() + long((i + 1) * step));
            i += run;
            continue;
        }
        std::size_t literal = 1;
        while (i + literal < count && literal < 128 &&
               !(i + literal + 1 < count && same(i + literal, i + literal + 1)))
            ++literal;
        out.push_back(std::uint8_t(literal - 1));
        out.insert(out.end(), pixels.begin() + long(i * step),
                   pixels.begin() + long((i + literal) * step));
        i += literal;
    }
    return out;
}

namespace {

// Entropy-coded bits with 0xFF bytes stuffed.
class JpegBits {
  public:
    explicit JpegBits(Bytes& out) : out_(out) {}
    void put(std::uint32_t value, int bits) {
        for (int i = bits - 1; i >= 0; --i) {
            acc_ = std::uint8_t(acc_ << 1 | (value >> i & 1));
            if (++used_ == 8) emit();
        }
    }
    void pad() {
        while (used_)
            put(1, 1);
    }

  private:
    void emit() {
        out_.push_back(acc_);
        if (acc_ == 0xFF) out_.push_back(0);
        acc_ = 0;
        used_ = 0;
    }
    Bytes& out_;
    std::uint8_t acc_ = 0;
    int used_ = 0;
};

void segment(Bytes& out, std::uint8_t marker, const Bytes& body) {
    out.insert(out.end(), {0xFF, marker});
    be16(out, std::uint32_t(body.size() + 2));
    out.insert(out.end(), body.begin(), body.end());
}

} // namespace

Bytes jpeg(int mcusWide, const JpegVariant& variant, const std::vector<std::uint8_t>& blocks) {
    const int n = variant.components;
    Bytes out = {0xFF, 0xD8};
    Bytes dqt(65, 1);
    dqt[0] = 0; // 8-bit table 0, every step 1
    segment(out, 0xDB, dqt);
    if (variant.adobeTransform >= 0)
        segment(
            out, 0xEE,
            {'A', 'd', 'o', 'b', 'e', 0, 100, 0, 0, 0, 0, std::uint8_t(variant.adobeTransform)});
    Bytes sof = {8};
    be16(sof, 8);
    be16(sof, std::uint32_t(mcusWide * 8));
    sof.push_back(std::uint8_t(n));
    for (int c = 0; c < n; ++c)
        sof.insert(sof.end(), {std::uint8_t(c + 1), 0x11, 0});
    segment(out, variant.progressive ? 0xC2 : 0xC0, sof);
    // DC: categories 0-11 as 4-bit codes; AC: only the end of block, as "0".
    Bytes dht = {0x00, 0, 0, 0, 12};
    dht.resize(17, 0);
    for (std::uint8_t s = 0; s < 12; ++s)
        dht.push_back(s);
    dht.insert(dht.end(), {0x10, 1});
    dht.resize(dht.size() + 15, 0);
    dht.push_back(0);
    segment(out, 0xC4, dht);
    if (variant.restartInterval) {
        Bytes dri;
        be16(dri, std::uint32_t(variant.restartInterval));
        segment(out, 0xDD, dri);
    }
    Bytes sos = {std::uint8_t(n)};
    for (int c = 0; c < n; ++c)
        sos.insert(sos.end(), {std::uint8_t(c + 1), 0x00});
    sos.insert(sos.end(), {0, std::uint8_t(variant.progressive ? 0 : 63), 0});
    segment(out, 0xDA, sos);

    JpegBits bits(out);
    std::vector<int> previous(std::size_t(n), 0);
    for (int mcu = 0; mcu < mcusWide; ++mcu) {
        if (variant.restartInterval && mcu > 0 && mcu % variant.restartInterval == 0) {
            bits.pad();
            out.insert(out.end(),
                       {0xFF, std::uint8_t(0xD0 + (mcu / variant.restartInterval - 1) % 8)});
            std::fill(previous.begin(), previous.end(), 0);
        }
        for (int c = 0; c < n; ++c) {
            const int dc = 8 * (blocks[std::size_t(mcu * n + c)] - 128);
            const int diff = dc - previous[std::size_t(c)];
            previous[std::size_t(c)] = dc;
            int category = 0;
            while ((std::abs(diff) >> category) != 0)
                ++category;
            bits.put(std::uint32_t(category), 4);
            bits.put(std::uint32_t(diff >= 0 ? diff : diff + (1 << category) - 1), category);
            if (!variant.progressive) bits.put(0, 1); // end of block
        }
    }
    bits.pad();
    out.insert(out.end(), {0xFF, 0xD9});
    return out;
}

} // namespace variants
