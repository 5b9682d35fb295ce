#include "tests/support/FirstRunData.h"

#include <cstdlib>
#include <stdexcept>
#include <string>

namespace TestSupport {
namespace {

std::string quoted(const std::filesystem::path& path) {
    std::string text = "'";
    for (const char c : path.string())
        text += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return text + "'";
}

void runScript(const std::string& arguments) {
    const std::string command = "bash " + quoted(MIREL_FIRST_RUN_DATA_SCRIPT) + " " + arguments;
    if (std::system(command.c_str()) != 0) throw std::runtime_error("failed: " + command);
}

} // namespace

void copyFirstRunData(const std::filesystem::path& from, const std::filesystem::path& to) {
    runScript(quoted(from) + " " + quoted(to));
}

void forgetDriverFiles(const std::filesystem::path& atlas) { runScript("--atlas " + quoted(atlas)); }

} // namespace TestSupport
