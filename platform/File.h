#pragma once
// Files of the operating system under the program's file interfaces.
//
// Every failing call stores the Win32-numbered last error of the thread
// (platform/Error.h), mapped from errno, and reports the failure by its
// result; positions and sizes are 64-bit. Paths are the program's wide paths
// and are converted at this boundary ('\' becomes '/', UTF-16 becomes UTF-8).
// A directory never opens as a file.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace Platform {

enum class SeekOrigin { Begin, Current, End };

class File {
public:
    enum class Mode {
        Read,      // an existing file, read only
        Write,     // created, or emptied when it exists; write only
        Append,    // created when missing; readable, every write goes to the end
        ReadWrite, // an existing file, read and write
    };

    File() = default;
    ~File();
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // A closed object when the file cannot be opened (last error set).
    static File open(std::u16string_view path, Mode mode);
    // The same with a path already in the system's form (UTF-8, '/').
    static File openNative(const std::string& path, Mode mode);

    bool isOpen() const { return m_fd >= 0; }
    int descriptor() const { return m_fd; }

    // Reads until size bytes arrived or the end of the file; short reads of
    // the system are retried. transferred holds the bytes read, also on
    // failure. False only on an error (the end of the file is no error).
    bool read(void* buffer, std::size_t size, std::size_t& transferred);
    // Writes all size bytes or fails; transferred holds the bytes written.
    bool write(const void* buffer, std::size_t size, std::size_t& transferred);
    // The new position from the start, or -1.
    std::int64_t seek(std::int64_t offset, SeekOrigin origin);
    std::int64_t tell();
    // The size of the file in bytes, or -1.
    std::int64_t size();
    // Forces written data to the storage device (fsync).
    bool flush();
    // Closes the file and reports the result of the close itself, which is
    // where some file systems report a failed write.
    bool close();

private:
    explicit File(int fd) : m_fd(fd) {}
    int m_fd = -1;
};

// Removes a file (not a directory).
bool deleteFile(std::u16string_view path);
// Renames a file, replacing a file of the new name.
bool renameFile(std::u16string_view from, std::u16string_view to);
// True when the path names an existing file that is not a directory.
bool fileExists(std::u16string_view path);
bool directoryExists(std::u16string_view path);

// Opens a C stdio stream by a wide path with a stdio mode ("rb", "w",
// "ab+"; a Windows "t" is ignored). Null when the file cannot be opened or
// is a directory; errno and the last error tell why.
std::FILE* openStdioFile(std::u16string_view path, std::u16string_view mode);

} // namespace Platform
