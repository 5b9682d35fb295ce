#include "platform/SoundLibrary.h"

#include <dlfcn.h>

namespace Platform {

namespace {

// ALSA's error handler type: (file, line, function, err, format, ...).
using AlsaErrorHandler = void (*)(const char*, int, const char*, int, const char*, ...);
using SetErrorHandler = int (*)(AlsaErrorHandler);

void dropAlsaError(const char*, int, const char*, int, const char*, ...) {}

} // namespace

void silenceSoundLibraryErrors() {
    // SDL loads the same library by the same name later; the handle is
    // kept open, so the one library instance keeps the quiet handler.
    static void* const library = ::dlopen("libasound.so.2", RTLD_NOW | RTLD_GLOBAL);
    if (!library)
        return;
    if (auto set = reinterpret_cast<SetErrorHandler>(::dlsym(library, "snd_lib_error_set_handler")))
        set(&dropAlsaError);
}

} // namespace Platform
