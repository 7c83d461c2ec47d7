#pragma once

#include "format/byte_source.h"

#include <objidl.h>

// The stream Explorer hands a thumbnail handler, read front to back as the
// format library reads a file. The handler never sees a path.
class StreamSource final : public tglformat::ByteSource {
  public:
    // The stream is read from where it stands; its size is what Stat says.
    explicit StreamSource(IStream* stream);
    std::size_t read(void* to, std::size_t bytes) override;
    std::uint64_t size() const override { return size_; }

    // False when the stream cannot say its size or is larger than a .tgl file may be.
    bool usable() const { return usable_; }

  private:
    IStream* stream_;
    std::uint64_t size_ = 0;
    bool usable_ = false;
};
