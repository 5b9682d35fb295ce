#pragma once
// The program's paths and their system form.
//
// Inside the program a path is wide text (UTF-16) and may use '\' as data
// files and the configuration write it; the system takes UTF-8 with '/'.
// The conversion happens once, here, when a path reaches the system.

#include <string>
#include <string_view>

namespace Platform {

// '\' becomes '/', UTF-16 becomes UTF-8 (an unpaired surrogate becomes '?').
std::string toNativePath(std::u16string_view path);
// The path as a person on this system writes it: '\' becomes '/', the
// encoding stays. For texts shown to the user (log lines, messages).
std::u16string shownPath(std::u16string_view path);
std::string shownPath(std::string_view path);
// UTF-8 from the system to UTF-16; bytes that are not UTF-8 become U+FFFD.
// Separators are left as they are.
std::u16string fromNativePath(std::string_view path);

// The folder of the running executable (from /proc/self/exe), ending in '/'.
const std::u16string& programFolder();
// programFolder() + "data/".
std::u16string dataFolder();

} // namespace Platform
