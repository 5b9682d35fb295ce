#pragma once
// A FileRW over an operating-system file handle, with 32-bit positions and
// Win32-numbered errors (Platform::lastError). The position is cached: tell()
// asks the system once after a transfer and then answers from the cache until
// the next read, write or seek.

#include "core/FileRW.h"
#include "platform/File.h"

#include <string>

namespace FileSystem {

class WinFile : public FileRW {
public:
    static constexpr std::uint32_t UnknownPosition = 0xFFFFFFFFu;

    // Takes over an open (or closed) file.
    WinFile(Platform::File file, std::u16string path);
    // Works on a file owned elsewhere, which must outlive this object.
    WinFile(Platform::File* borrowed, std::u16string path);

    bool isOpen() const override { return m_handle->isOpen(); }
    int lastError() const override;
    // An item size of 0 returns the item count without any I/O. Otherwise one
    // transfer of itemSize * itemCount bytes; whole items only, 0 on failure.
    std::size_t read(void* buffer, std::size_t itemSize, std::size_t itemCount) override;
    std::size_t write(const void* buffer, std::size_t itemSize, std::size_t itemCount) override;
    std::uint32_t tell() override;
    // Positions past 0xFFFFFFFE or before the start fail and leave the file
    // where it was.
    bool seek(std::int32_t position) override;
    bool seekRelative(std::int32_t offset) override;
    bool seekToEnd() override;
    // Forces written data to the disk.
    void flush() override;

    const std::u16string& path() const { return m_path; }
    Platform::File& handle() { return *m_handle; }
    bool ownsHandle() const { return m_ownsHandle; }

private:
    bool moveTo(std::int64_t target);

    Platform::File m_ownFile;
    Platform::File* m_handle;
    std::u16string m_path;
    bool m_ownsHandle;
    std::uint32_t m_position = UnknownPosition;
};

// An existing file opened for reading.
class WinFileForRead : public WinFile {
public:
    explicit WinFileForRead(std::u16string path);
};

// A file created for writing, emptied when it exists.
class WinFileForWrite : public WinFile {
public:
    explicit WinFileForWrite(std::u16string path);
};

} // namespace FileSystem
