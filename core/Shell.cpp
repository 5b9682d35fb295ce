#include "core/Shell.h"

#include "core/Log.h"
#include "core/MainLoopWake.h"
#include "core/Text.h"
#include "platform/Error.h"

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

namespace Core {

struct ShellOpening::State {
    std::u16string target;
    std::string program;
    std::chrono::steady_clock::time_point start;
    std::chrono::milliseconds wait{0};
    Platform::ChildProcess child;
    // Written on the reaper's thread in this order: whether the opener
    // ended within its wait, its status, then `ended`; the main loop is
    // woken after them, so the tick that wake-up brings reads the end.
    std::atomic<int> status{0};
    std::atomic<bool> endedInTime{false};
    std::atomic<bool> ended{false};
    bool logged = false;
};

namespace {

using Clock = std::chrono::steady_clock;

// The openers started and not yet decided, for followOpeners.
std::vector<std::shared_ptr<ShellOpening::State>>& followed() {
    static std::vector<std::shared_ptr<ShellOpening::State>> states;
    return states;
}

ShellOpening::Verdict verdictOf(ShellOpening::State& state) {
    using Verdict = ShellOpening::Verdict;
    if (!state.child.started())
        return Verdict::Failed;
    if (!state.ended)
        return Clock::now() - state.start > state.wait ? Verdict::Opened : Verdict::Pending;
    // A status that could not be read (-1) is no sign of failure; nor is
    // the end of a browser that ran in the foreground past the wait.
    const int status = state.status;
    if (status <= 0 || !state.endedInTime)
        return Verdict::Opened;
    if (!state.logged) {
        state.logged = true;
        Log::log(Log::Critical, u"Can't open '%s' with '%hs': it ended with status %d", state.target, state.program,
                 status);
    }
    return Verdict::Failed;
}

} // namespace

bool ShellOpening::started() const { return m_state && m_state->child.started(); }

ShellOpening::Verdict ShellOpening::verdict() const { return m_state ? verdictOf(*m_state) : Verdict::Failed; }

ShellOpening shellOpen(std::u16string_view target, std::chrono::milliseconds wait) {
    std::string argument = wideToUtf8(target);
    // A path takes the system's separators; an address ("scheme://...") is
    // passed as it is.
    if (argument.find("://") == std::string::npos) {
        std::replace(argument.begin(), argument.end(), '\\', '/');
        // A relative path starting with "-" must not read as an option.
        if (!argument.empty() && argument.front() == '-')
            argument.insert(0, "./");
    }
    ShellOpening opening;
    opening.m_state = std::make_shared<ShellOpening::State>();
    ShellOpening::State& state = *opening.m_state;
    state.target = target;
    state.program = Platform::shellOpenCommand();
    state.wait = wait;
    state.start = Clock::now();
    state.child = Platform::spawnDetached(state.program, {argument}, [shared = opening.m_state](int status) {
        shared->endedInTime = Clock::now() - shared->start <= shared->wait;
        shared->status = status;
        shared->ended = true;
        Threading::wakeMainLoop();
    });
    if (!state.child.started()) {
        Log::log(Log::Critical, u"Can't open '%s' with '%hs' (err %d)", target, state.program, Platform::lastError());
        return opening;
    }
    followOpeners();
    followed().push_back(opening.m_state);
    return opening;
}

void followOpeners() {
    auto& states = followed();
    std::erase_if(states, [](const auto& state) { return verdictOf(*state) != ShellOpening::Verdict::Pending; });
}

} // namespace Core
