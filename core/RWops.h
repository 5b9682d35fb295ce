#pragma once
// Presents any FileRW to SDL (images, sounds, fonts, package entries) as an
// SDL_RWops.

#include "core/FileRW.h"

#include <SDL/SDL_rwops.h>

#include <memory>

namespace FileSystem {

// The SDL_RWops owns the file from now on; SDL_RWclose destroys both. Null
// (and the file destroyed) when SDL cannot allocate the structure.
// Seek whence 0, 1, 2 is from the start, the current position, the end. A read
// or write that transfers no item reports -1 (so the end of the data reads as
// an error) and raises SDL's file-read or file-write error.
SDL_RWops* createRWops(std::unique_ptr<FileRW> file);

} // namespace FileSystem
