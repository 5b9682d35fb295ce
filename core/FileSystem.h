#pragma once
// Small file and path functions over the FileRW interface and the platform
// file layer. Paths are the program's wide paths; '/' and '\' both separate.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace FileSystem {

class FileRW;

// The whole file from its start, followed by a zero byte (so text parsers
// can work in place); size receives the byte count. Null after logging
// "Error reading file (err %d)" at level Critical when the size is unknown
// (tell fails), the file cannot be positioned, memory runs out or the read
// comes up short. An empty file read through a stdio stream counts as a
// failed read (stdio reports no items for a zero item size); through a
// handle file it gives an empty buffer.
std::unique_ptr<char[]> readFile(FileRW& file, std::uint32_t* size = nullptr);
// The same, the failure followed by "filename = '%s'" (both Critical), and
// an empty file said to be empty ("Error reading file (err 0): the file is
// empty"). Every reader that knows the file's path uses this one.
std::unique_ptr<char[]> readFile(FileRW& file, std::uint32_t* size, std::u16string_view name);

// The value's 4 bytes, little-endian, as one item; true when it was written.
bool writeU32(FileRW& file, std::uint32_t value);

// True for an existing file that is not a directory.
bool fileExists(std::u16string_view path);
// Deletes a file; true on success (the last error tells why not).
bool deleteFile(std::u16string_view path);

// The text behind the last '/' or '\'; the whole path when there is none.
std::u16string fileName(std::u16string_view path);
// The file name cut before its last '.'; unchanged when it has none.
std::u16string fileTitle(std::u16string_view path);
// The position of the last '/' or '\', or std::u16string_view::npos.
std::size_t lastSeparator(std::u16string_view path);

// Text conversions for paths and file contents.
// ANSI (code page 1251) zero-terminated text to wide; null gives "".
std::u16string toWide(const char* ansi);
// UTF-8 to wide.
std::u16string toWide(const std::string& utf8);
// Wide to UTF-8 (unpaired surrogates become '?').
std::string toUtf8(std::u16string_view text);

} // namespace FileSystem
