#include "core/Shell.h"

#include "core/Log.h"
#include "core/Text.h"
#include "platform/Error.h"

#include <algorithm>

namespace Core {

bool shellOpen(std::u16string_view target, Platform::ChildProcess* child, std::chrono::milliseconds wait) {
    std::string argument = wideToUtf8(target);
    // A path takes the system's separators; an address ("scheme://...") is
    // passed as it is.
    if (argument.find("://") == std::string::npos) {
        std::replace(argument.begin(), argument.end(), '\\', '/');
        // A relative path starting with "-" must not read as an option.
        if (!argument.empty() && argument.front() == '-')
            argument.insert(0, "./");
    }
    const std::string program = Platform::shellOpenCommand();
    Platform::ChildProcess started = Platform::spawnDetached(program, {argument});
    if (!started.started()) {
        Log::log(Log::Critical, u"Can't open '%s' with '%hs' (err %d)", target, program, Platform::lastError());
        return false;
    }
    if (child != nullptr)
        *child = started;
    if (started.exitCode.wait_for(wait) != std::future_status::ready)
        return true;
    // A status that could not be read (-1) is no sign of failure.
    const int status = started.exitCode.get();
    if (status <= 0)
        return true;
    Log::log(Log::Critical, u"Can't open '%s' with '%hs': it ended with status %d", target, program, status);
    return false;
}

} // namespace Core
