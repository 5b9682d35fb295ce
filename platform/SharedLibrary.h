#pragma once
// Loading a shared library at run time and finding its exported functions
// (the system's LoadLibrary and GetProcAddress). A loaded library is never
// unloaded: the program keeps it until the process ends.

#include <string>

namespace Platform {

// Loads the library at path (the program's own path form). Null on failure
// with the last error set: 2 when the file does not exist, 193 (not a valid
// library) when it exists but cannot be loaded; the loader's own message is
// kept for the log (loadLibraryMessage).
void* loadLibrary(const std::u16string& path);
// The loader's message of the thread's last failed loadLibrary.
std::string loadLibraryMessage();
// The exported symbol's address, null when the library has none.
void* librarySymbol(void* library, const char* name);

} // namespace Platform
