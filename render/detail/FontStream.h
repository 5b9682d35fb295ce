#pragma once
// The read half of the FreeType stream over an SDL stream, apart so that its
// FreeType contract can be tested on its own.

#include <SDL/SDL_rwops.h>

namespace Render::detail {

// Reads count bytes of the font at offset (relative to base, where the font
// starts in the source). A count of 0 is a seek only: 0 when it worked,
// non-zero when it failed, as FreeType requires. Otherwise the number of
// bytes read (0 when the seek or the read fails).
unsigned long readFontStream(SDL_RWops* source, long base, unsigned long offset, unsigned char* buffer,
                             unsigned long count);

} // namespace Render::detail
