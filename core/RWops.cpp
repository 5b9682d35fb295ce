#include "core/RWops.h"

#include <SDL/SDL_error.h>

namespace FileSystem {
namespace {

FileRW* fileOf(SDL_RWops* context) {
    return context ? static_cast<FileRW*>(context->hidden.unknown.data1) : nullptr;
}

int SDLCALL seekFile(SDL_RWops* context, int offset, int whence) {
    FileRW* file = fileOf(context);
    if (!file)
        return -1;
    bool done;
    switch (whence) {
    case 0: done = file->seek(offset); break;
    case 1: done = file->seekRelative(offset); break;
    case 2: done = file->seekToEnd() && (offset == 0 || file->seekRelative(offset)); break;
    default: return -1;
    }
    const std::uint32_t position = done ? file->tell() : 0xFFFFFFFFu;
    // SDL positions are int: a position beyond 2 GB cannot be reported.
    if (position > 0x7FFFFFFFu) {
        SDL_Error(SDL_EFSEEK);
        return -1;
    }
    return static_cast<int>(position);
}

int SDLCALL readFile(SDL_RWops* context, void* buffer, int size, int maxnum) {
    FileRW* file = fileOf(context);
    if (!file)
        return -1;
    const std::size_t n = size > 0 && maxnum > 0
                              ? file->read(buffer, static_cast<std::size_t>(size), static_cast<std::size_t>(maxnum))
                              : 0;
    if (n == 0) {
        SDL_Error(SDL_EFREAD);
        return -1;
    }
    return static_cast<int>(n);
}

int SDLCALL writeFile(SDL_RWops* context, const void* buffer, int size, int num) {
    FileRW* file = fileOf(context);
    if (!file)
        return -1;
    const std::size_t n = size > 0 && num > 0
                              ? file->write(buffer, static_cast<std::size_t>(size), static_cast<std::size_t>(num))
                              : 0;
    if (n == 0) {
        SDL_Error(SDL_EFWRITE);
        return -1;
    }
    return static_cast<int>(n);
}

int SDLCALL closeFile(SDL_RWops* context) {
    if (!context)
        return -1;
    FileRW* file = fileOf(context);
    delete file;
    context->hidden.unknown.data1 = nullptr;
    SDL_FreeRW(context);
    return file ? 0 : -1;
}

} // namespace

SDL_RWops* createRWops(std::unique_ptr<FileRW> file) {
    SDL_RWops* rw = SDL_AllocRW();
    if (!rw)
        return nullptr; // the file goes with the unique_ptr
    rw->seek = seekFile;
    rw->read = readFile;
    rw->write = writeFile;
    rw->close = closeFile;
    rw->type = 0;
    rw->hidden.unknown.data1 = file.release();
    return rw;
}

} // namespace FileSystem
