#pragma once

#include "xlibplus/stream/stream.h"

namespace xlibplus {

// An in-memory stream: a read/write position over bytes that a subclass holds.
// Always in the host's byte order.
class xStreamEx : public xStream {
  public:
    xStreamEx() : xStream(hostIsLittleEndian()) {}

    std::uint32_t tell() override { return position_; }
    // Never past the end.
    void seek(std::uint32_t position) override {
        const std::uint32_t end = size();
        position_ = position < end ? position : end;
    }
    std::uint32_t size() override { return 0; }
    void setSize(std::uint32_t) override {}

  protected:
    std::uint32_t position_ = 0;
};

} // namespace xlibplus
