#pragma once
// An environment variable set for a scope; the former value (or its
// absence) comes back at the end.

#include <cstdlib>
#include <optional>
#include <string>

namespace TestSupport {

struct ScopedEnv {
    ScopedEnv(const char* name, const char* value) : name(name) {
        if (const char* old = std::getenv(name)) previous = old;
        setenv(name, value, 1);
    }
    ~ScopedEnv() {
        if (previous)
            setenv(name, previous->c_str(), 1);
        else
            unsetenv(name);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

    const char* name;
    std::optional<std::string> previous;
};

} // namespace TestSupport
