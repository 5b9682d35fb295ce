#include "core/MessageBox.h"

#include "core/Log.h"
#include "core/LoggedText.h"
#include "core/Text.h"
#include "platform/MessageDialog.h"

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

namespace Core {

namespace {
std::atomic<unsigned> g_shown{0};
}

unsigned messageBoxCount() { return g_shown; }

void messageBox(std::u16string_view text, std::u16string_view caption) {
    ++g_shown;
    // The dialog's lines read as one line of the log.
    Log::log(Log::Critical, u"%s: %s", std::u16string(caption), Log::linesJoined(text));
    const std::string line = wideToUtf8(caption) + ": " + wideToUtf8(text) + "\n";
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
    // A user who started the program from a desktop sees no terminal: the
    // message also comes in a window (none under a headless driver).
    Platform::showMessageDialog(wideToUtf8(caption), wideToUtf8(text));
}

void startFailureBox(std::u16string_view text, std::u16string_view caption, std::uint64_t criticalSince) {
    std::u16string shown(text);
    const std::vector<std::string> details = Log::recentCriticalLines(criticalSince);
    if (!details.empty())
        shown.push_back(u'\n');
    for (const std::string& line : details) {
        shown.push_back(u'\n');
        shown.append(utf8ToWide(line));
    }
    messageBox(shown, caption);
}

} // namespace Core
