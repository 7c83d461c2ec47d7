#pragma once

#include <cstdint>
#include <cstdio>

// The one way a file from outside is opened, by the engine, the loader and the
// tool alike: without blocking (a FIFO or a device never hangs the caller),
// checked with fstat to be a regular file below a size limit, then handed
// over as a stdio file for reading. Anything else is refused at once.
namespace imaging {

enum class InputFileStatus {
    Ok,
    CannotOpen, // missing, unreadable
    NotRegular, // a folder, FIFO, device, socket
    TooLarge,   // at or past the limit given
};

struct InputFile {
    InputFileStatus status = InputFileStatus::CannotOpen;
    std::FILE* file = nullptr; // owned by the caller when Ok
    std::uint64_t size = 0;
};

// maxBytes: the smallest size refused.
InputFile openInputFile(const char* path, std::uint64_t maxBytes);

// "cannot be opened", "is not a regular file", "is too large".
const char* inputFileProblem(InputFileStatus status);

} // namespace imaging
