#pragma once
// A FileRW that replaces a file safely: everything written goes to a
// temporary file beside the target, and commit() renames it over the target
// after forcing it to the disk. A failed write is remembered, so commit()
// refuses torn contents even when the writer did not check each write.
// Without a successful commit() the target is left as it was.

#include "core/FileRW.h"
#include "core/WinFile.h"
#include "platform/AtomicFile.h"

#include <string>

namespace FileSystem {

class AtomicFileForWrite : public FileRW {
public:
    explicit AtomicFileForWrite(std::u16string path);

    bool isOpen() const override { return m_atomic.isOpen(); }
    // The Win32 number of the first failure, else the thread's last error.
    int lastError() const override;
    std::size_t read(void* buffer, std::size_t itemSize, std::size_t itemCount) override;
    std::size_t write(const void* buffer, std::size_t itemSize, std::size_t itemCount) override;
    std::uint32_t tell() override { return m_file.tell(); }
    // A failed seek is remembered like a failed write: what the writer puts
    // down afterwards would land in the wrong place.
    bool seek(std::int32_t position) override { return kept(m_file.seek(position)); }
    bool seekRelative(std::int32_t offset) override { return kept(m_file.seekRelative(offset)); }
    bool seekToEnd() override { return kept(m_file.seekToEnd()); }
    // Data reaches the disk at commit(); flushing earlier changes nothing.
    void flush() override {}

    // True when the target now holds everything written; the last error
    // tells why not.
    bool commit();
    void discard() { m_atomic.discard(); }

private:
    bool kept(bool done);

    Platform::AtomicFile m_atomic;
    WinFile m_file; // works on m_atomic's temporary file
};

} // namespace FileSystem
