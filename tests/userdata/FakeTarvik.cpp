// A stand-in waypoints plug-in for the tests: it accepts the host's calls,
// records them, and fails where the build variant says so. Built several
// times with different definitions (tests/userdata/CMakeLists.txt):
// FAKE_TARVIK_NO_RUN leaves out RunTarvik, FAKE_TARVIK_INIT_FAILS refuses
// InitLibrary, FAKE_TARVIK_CREATE_FAILS refuses CreateInstance. RunTarvik
// refuses object 13 (error 42 of the instance).

#include <cstdint>
#include <string>

namespace {

std::string g_calls;
int g_instance = 7;

void record(const std::string& call) {
    g_calls += call + ";";
}

std::string utf8(const char16_t* text) {
    std::string out;
    for (; text && *text; ++text)
        out += *text < 0x80 ? static_cast<char>(*text) : '?';
    return out;
}

} // namespace

extern "C" {

__attribute__((visibility("default"))) std::uint8_t InitLibrary(std::uintptr_t platformValue, void* logger) {
    record("init " + std::to_string(platformValue) + (logger ? " logger" : " nologger"));
#ifdef FAKE_TARVIK_INIT_FAILS
    return 0;
#else
    return 1;
#endif
}

__attribute__((visibility("default"))) void UninitLibrary() {
    record("uninit");
}

__attribute__((visibility("default"))) void* CreateInstance(unsigned long window, const char16_t* path) {
    record("create " + std::to_string(window) + " " + utf8(path));
#ifdef FAKE_TARVIK_CREATE_FAILS
    return nullptr;
#else
    return &g_instance;
#endif
}

__attribute__((visibility("default"))) void DestroyInstance(void* instance) {
    record(std::string("destroy") + (instance == &g_instance ? "" : " foreign"));
}

__attribute__((visibility("default"))) std::int32_t GetError(void* instance) {
    record(std::string("error") + (instance ? "" : " null"));
    return instance ? 42 : -5;
}

#ifndef FAKE_TARVIK_NO_RUN
__attribute__((visibility("default"))) std::uint8_t RunTarvik(void* instance, std::uint32_t object) {
    record("run " + std::to_string(object) + (instance == &g_instance ? "" : " foreign"));
    return object == 13 ? 0 : 1;
}
#endif

// The test's window into the calls made so far.
__attribute__((visibility("default"))) const char* FakeTarvikCalls() {
    return g_calls.c_str();
}
}
