#pragma once
// The one small file abstraction every reader and writer works on, so the
// same parsing code runs over a stdio stream, an OS file handle or a window
// onto a mapped file.

#include <cstddef>
#include <cstdint>

namespace FileSystem {

class FileRW {
public:
    virtual ~FileRW() = default;
    virtual bool isOpen() const = 0;
    // The implementation's last error code (errno for stdio, Win32 numbers
    // for handle files).
    virtual int lastError() const = 0;
    // Number of whole items transferred.
    virtual std::size_t read(void* buffer, std::size_t itemSize, std::size_t itemCount) = 0;
    virtual std::size_t write(const void* buffer, std::size_t itemSize, std::size_t itemCount) = 0;
    // Current position; 0xFFFFFFFF when unknown or on failure.
    virtual std::uint32_t tell() = 0;
    virtual bool seek(std::int32_t position) = 0;
    virtual bool seekRelative(std::int32_t offset) = 0;
    virtual bool seekToEnd() = 0;
    virtual void flush() = 0;

    FileRW() = default;
    FileRW(const FileRW&) = delete;
    FileRW& operator=(const FileRW&) = delete;
};

} // namespace FileSystem
