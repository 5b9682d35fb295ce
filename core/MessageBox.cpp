#include "core/MessageBox.h"

#include "core/Log.h"
#include "core/Text.h"

#include <cstdio>

namespace Core {

void messageBox(std::u16string_view text, std::u16string_view caption) {
    Log::log(Log::Critical, u"%s: %s", std::u16string(caption), std::u16string(text));
    const std::string line = wideToUtf8(caption) + ": " + wideToUtf8(text) + "\n";
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
}

} // namespace Core
