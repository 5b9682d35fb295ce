#include "platform/Battery.h"

#include "platform/Directory.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <fstream>
#include <strings.h>

namespace Platform {
namespace {

// The first line of a small sysfs file without its line end; nothing when
// the file cannot be read.
std::optional<std::string> readLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    if (!in || !std::getline(in, line)) return std::nullopt;
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
    return line;
}

std::optional<std::uint64_t> readNumber(const std::string& path) {
    const auto line = readLine(path);
    if (!line) return std::nullopt;
    std::uint64_t value = 0;
    const auto [end, ec] = std::from_chars(line->data(), line->data() + line->size(), value);
    if (ec != std::errc() || end != line->data() + line->size()) return std::nullopt;
    return value;
}

std::string parentOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::vector<std::string> supplies(const std::string& root) {
    std::vector<DirectoryEntry> entries;
    std::vector<std::string> names;
    if (!listDirectory(root, entries)) return names;
    for (const DirectoryEntry& e : entries)
        if (e.name != "." && e.name != "..") names.push_back(e.name);
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) < 0; });
    return names;
}

// Whether a "Mains" supply is listed under root, and whether one is online.
std::pair<bool, bool> mains(const std::string& root) {
    bool listed = false;
    bool online = false;
    for (const std::string& name : supplies(root)) {
        const std::string folder = root + "/" + name;
        if (readLine(folder + "/type").value_or("") != "Mains") continue;
        listed = true;
        online = online || readNumber(folder + "/online").value_or(0) != 0;
    }
    return {listed, online};
}

} // namespace

std::vector<std::string> batteryDevices(const std::string& root) {
    std::vector<std::string> found;
    for (const std::string& name : supplies(root)) {
        const std::string folder = root + "/" + name;
        const std::string type = readLine(folder + "/type").value_or("");
        if (type == "Battery" || type == "UPS") found.push_back(folder);
    }
    return found;
}

std::optional<BatteryReading> readBattery(const std::string& device) {
    const auto type = readLine(device + "/type");
    if (!type) return std::nullopt;
    if (readNumber(device + "/present").value_or(1) == 0) return std::nullopt;
    BatteryReading r;
    r.shortTerm = *type == "UPS";
    r.systemBattery = *type == "Battery" && readLine(device + "/scope").value_or("System") != "Device";
    for (const auto& [now, full] : {std::pair{"energy_now", "energy_full"}, std::pair{"charge_now", "charge_full"}}) {
        const auto n = readNumber(device + "/" + now);
        const auto f = readNumber(device + "/" + full);
        if (n && f && *f != 0) {
            r.remaining = *n;
            r.full = *f;
            break;
        }
    }
    if (r.full == 0) {
        const auto percent = readNumber(device + "/capacity");
        if (!percent) return std::nullopt;
        r.remaining = *percent;
        r.full = 100;
    }
    const auto [listed, online] = mains(parentOf(device));
    r.onAC = listed ? online : readLine(device + "/status").value_or("") != "Discharging";
    return r;
}

} // namespace Platform
