#pragma once
// A FileRW over a C stdio stream. Its positions come from ftell/fseek and
// its error codes are errno values, not Win32 numbers.

#include "core/FileRW.h"

#include <cstdio>
#include <string_view>

namespace FileSystem {

class AnsiFile : public FileRW {
public:
    // Takes ownership of the stream (may be null: the file is then not open).
    explicit AnsiFile(std::FILE* stream);
    // Opens a wide path with a wide stdio mode such as u"rb", u"w" or u"ab+";
    // isOpen() tells whether that worked (a directory never opens).
    AnsiFile(std::u16string_view path, std::u16string_view mode);
    ~AnsiFile() override;

    bool isOpen() const override { return m_stream != nullptr; }
    // errno of the last failed operation, 0 after a plain end of file.
    int lastError() const override { return m_error; }
    std::size_t read(void* buffer, std::size_t itemSize, std::size_t itemCount) override;
    std::size_t write(const void* buffer, std::size_t itemSize, std::size_t itemCount) override;
    // 0xFFFFFFFF when ftell fails or the position does not fit 32 bits.
    std::uint32_t tell() override;
    bool seek(std::int32_t position) override;
    bool seekRelative(std::int32_t offset) override;
    bool seekToEnd() override;
    void flush() override;

    std::FILE* stream() const { return m_stream; }

private:
    bool seekTo(long offset, int whence);

    std::FILE* m_stream;
    int m_error = 0;
};

// Opens a stdio stream by a wide path and a wide mode; null on failure.
std::FILE* openStdioFile(std::u16string_view path, std::u16string_view mode);

} // namespace FileSystem
