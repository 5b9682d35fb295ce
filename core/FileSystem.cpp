#include "core/FileSystem.h"

#include "core/AnsiFile.h"
#include "core/FileRW.h"
#include "core/Log.h"
#include "core/Text.h"
#include "platform/Error.h"
#include "platform/File.h"

#include <new>

namespace FileSystem {

namespace {

std::unique_ptr<char[]> readWhole(FileRW& file, std::uint32_t* size, const std::u16string_view* name) {
    if (size)
        *size = 0;
    std::uint32_t length = 0;
    // A stdio file numbers its errors as the C library does.
    const bool stdio = dynamic_cast<const AnsiFile*>(&file) != nullptr;
    auto fail = [&](int error, bool ownNumber = false) {
        if (length == 0 && error == 0 && name != nullptr)
            Log::log(Log::Critical, u"Error reading file (err %d): the file is empty", error);
        else if (stdio && !ownNumber)
            Log::log(Log::Critical, u"Error reading file (err %d)", Log::Errno{error});
        else
            Log::log(Log::Critical, u"Error reading file (err %d)", error);
        // The line above keeps its fixed text; the file follows on its own line.
        if (name != nullptr)
            Log::log(Log::Critical, u"filename = '%s'", *name);
        return std::unique_ptr<char[]>();
    };
    if (!file.seekToEnd())
        return fail(file.lastError());
    // A failing tell() answers 0xFFFFFFFF; trusting it would mean a 4 GB read.
    length = file.tell();
    if (length == 0xFFFFFFFFu)
        return fail(file.lastError());
    if (!file.seek(0))
        return fail(file.lastError());
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[std::size_t(length) + 1]);
    if (!buffer)
        return fail(Platform::ErrorNotEnoughMemory, true);
    if (file.read(buffer.get(), length, 1) != 1)
        return fail(file.lastError());
    buffer[length] = '\0';
    if (size)
        *size = length;
    return buffer;
}

} // namespace

std::unique_ptr<char[]> readFile(FileRW& file, std::uint32_t* size) { return readWhole(file, size, nullptr); }

std::unique_ptr<char[]> readFile(FileRW& file, std::uint32_t* size, std::u16string_view name) {
    return readWhole(file, size, &name);
}

bool writeU32(FileRW& file, std::uint32_t value) {
    const unsigned char bytes[4] = {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
                                    static_cast<unsigned char>(value >> 16),
                                    static_cast<unsigned char>(value >> 24)};
    return file.write(bytes, 4, 1) == 1;
}

bool fileExists(std::u16string_view path) { return Platform::fileExists(path); }

bool deleteFile(std::u16string_view path) { return Platform::deleteFile(path); }

std::size_t lastSeparator(std::u16string_view path) { return path.find_last_of(u"/\\"); }

std::u16string fileName(std::u16string_view path) {
    const std::size_t separator = lastSeparator(path);
    return std::u16string(separator == std::u16string_view::npos ? path : path.substr(separator + 1));
}

std::u16string fileTitle(std::u16string_view path) {
    std::u16string name = fileName(path);
    const std::size_t dot = name.rfind(u'.');
    if (dot != std::u16string::npos)
        name.resize(dot);
    return name;
}

std::u16string toWide(const char* ansi) { return ansi ? Core::ansiToWide(std::string_view(ansi)) : std::u16string(); }

std::u16string toWide(const std::string& utf8) { return Core::utf8ToWide(utf8); }

std::string toUtf8(std::u16string_view text) { return Core::wideToUtf8(text); }

} // namespace FileSystem
