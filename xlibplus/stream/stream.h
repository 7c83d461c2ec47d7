#pragma once

#include <cstdint>

// Byte streams. A stream is read through IIStream and written through IOStream;
// xStream serves both views with one state. Every stream records the byte order
// of its data; readers of multi-byte values ask needsByteSwap, the streams
// themselves never convert.
namespace xlibplus {

bool hostIsLittleEndian();

class IBaseStream {
  public:
    virtual std::uint32_t tell() = 0;
    virtual void seek(std::uint32_t position) = 0;
    virtual std::uint32_t size() = 0;
    virtual void setSize(std::uint32_t size) = 0;
    virtual bool needsByteSwap() = 0;
    virtual bool eof() = 0;

  protected:
    ~IBaseStream() = default;
};

class IIStream : public IBaseStream {
  public:
    virtual std::uint32_t remaining() = 0;
    // Bytes delivered into `destination`.
    virtual std::uint32_t read(void* destination, std::uint32_t count) = 0;

  protected:
    ~IIStream() = default;
};

class IOStream : public IBaseStream {
  public:
    // Bytes accepted from `source`.
    virtual std::uint32_t write(const void* source, std::uint32_t count) = 0;

  protected:
    ~IOStream() = default;
};

// Both directions, with neutral defaults: position 0, size 0, at the end when
// the position is not below the size. read and write stay abstract.
class xStream : public IIStream, public IOStream {
  public:
    explicit xStream(bool littleEndian) : littleEndian_(littleEndian) {}
    virtual ~xStream() = default;

    std::uint32_t tell() override { return 0; }
    void seek(std::uint32_t) override {}
    std::uint32_t size() override { return 0; }
    void setSize(std::uint32_t) override {}
    bool needsByteSwap() override { return littleEndian_ != hostIsLittleEndian(); }
    bool eof() override { return !(tell() < size()); }
    std::uint32_t remaining() override {
        const std::uint32_t position = tell();
        const std::uint32_t total = size();
        return position < total ? total - position : 0;
    }

  private:
    bool littleEndian_;
};

} // namespace xlibplus
