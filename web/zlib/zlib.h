#pragma once

// The part of zlib's interface that the format and image libraries use, for
// the WebAssembly build, which has no zlib: inflating is stb_image's zlib
// decoder behind zlib's calls (see zlib_over_stb.cpp), and the CRC is
// stb_image_write's. Names are prefixed so that a native test can link this
// beside the real zlib.

#include <cstddef>

typedef unsigned char Bytef;
typedef unsigned int uInt;
typedef unsigned long uLong;
typedef unsigned long uLongf;

enum {
    Z_OK = 0,
    Z_STREAM_END = 1,
    Z_DATA_ERROR = -3,
    Z_MEM_ERROR = -4,
    Z_BUF_ERROR = -5,
};
enum { Z_NO_FLUSH = 0, Z_SYNC_FLUSH = 2 };
enum { Z_DEFAULT_COMPRESSION = -1 };

struct z_stream {
    Bytef* next_in = nullptr;
    uInt avail_in = 0;
    Bytef* next_out = nullptr;
    uInt avail_out = 0;
    uLong total_out = 0;
    void* state = nullptr; // the stream as first given, while inflating
};

#define inflateInit2 tglwasm_inflateInit2
#define inflateInit(stream) inflateInit2((stream), 15)
#define inflate tglwasm_inflate
#define inflateEnd tglwasm_inflateEnd
#define crc32_z tglwasm_crc32_z
#define compressBound tglwasm_compressBound
#define compress2 tglwasm_compress2

int inflateInit2(z_stream* stream, int windowBits);
// Gives the bytes from total_out on, as many as avail_out takes: Z_OK while
// the stream goes on past them, Z_STREAM_END at its end, Z_DATA_ERROR for a
// stream that is broken or cut short.
int inflate(z_stream* stream, int flush);
int inflateEnd(z_stream* stream);
uLong crc32_z(uLong crc, const Bytef* data, std::size_t length);

// Deflating is stb_image_write's, which stores nothing raw: up to 9 bits a byte.
uLong compressBound(uLong length);
int compress2(Bytef* to, uLongf* toLength, const Bytef* from, uLong length, int level);
