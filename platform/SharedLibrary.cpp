#include "platform/SharedLibrary.h"

#include "platform/Error.h"
#include "platform/Path.h"

#include <dlfcn.h>
#include <unistd.h>

namespace Platform {

namespace {

constexpr int ErrorBadExeFormat = 193;
thread_local std::string t_message;

} // namespace

void* loadLibrary(const std::u16string& path) {
    const std::string native = toNativePath(path);
    // RTLD_LOCAL keeps the library's symbols out of the program's own
    // lookups; its functions are reached only through librarySymbol.
    void* library = dlopen(native.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library) {
        t_message.clear();
        return library;
    }
    const char* message = dlerror();
    t_message = message ? message : "";
    setLastError(access(native.c_str(), F_OK) == 0 ? ErrorBadExeFormat : ErrorFileNotFound);
    return nullptr;
}

std::string loadLibraryMessage() {
    return t_message;
}

void* librarySymbol(void* library, const char* name) {
    if (!library) return nullptr;
    dlerror();
    return dlsym(library, name);
}

} // namespace Platform
