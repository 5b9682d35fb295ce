#include "app/DevicesFile.h"

#include "core/ConfigNode.h"
#include "core/FileSystem.h"
#include "core/Log.h"
#include "core/Parse.h"
#include "core/WinFile.h"

#include <memory>
#include <stdexcept>

namespace engine {

std::int32_t supportedGpsRate(std::int32_t baud) {
    // Receivers on Linux commonly talk at 115200, so the fastest rate is
    // that one rather than 57600.
    for (std::int32_t rate : {4800, 9600, 19200, 38400, 57600})
        if (baud <= rate)
            return rate;
    return 115200;
}


namespace {

// Lines are read through a buffer of this many bytes, the zero included: a
// longer line arrives in pieces, and each piece is judged as a line.
constexpr std::size_t kLineBuffer = 100;

bool isBlank(char c) { return c == ' ' || c == '\t'; }

bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// A decimal number at pos: white space, a sign, digits. pos moves past the
// digits; when there are none it stays put and the value is 0.
std::int32_t readNumber(std::string_view line, std::size_t& pos) {
    std::size_t p = pos;
    while (p < line.size() && isSpace(line[p]))
        ++p;
    const std::size_t signStart = p;
    if (p < line.size() && (line[p] == '+' || line[p] == '-'))
        ++p;
    const std::size_t digits = p;
    while (p < line.size() && line[p] >= '0' && line[p] <= '9')
        ++p;
    if (p == digits)
        return 0;
    std::int32_t value = 0;
    Core::parseInt(line.data() + signStart, line.data() + p, value);
    pos = p;
    return value;
}

bool expectComma(std::string_view line, std::size_t& pos) {
    if (pos >= line.size() || line[pos] != ',')
        return false;
    ++pos;
    return true;
}

// One line (or piece of a line): true and no record for a comment, false for
// a format error.
bool parseLine(std::string_view line, std::optional<DeviceSpec>& out) {
    out.reset();
    std::size_t start = 0;
    while (start < line.size() && isBlank(line[start]))
        ++start;
    if (start == line.size() || line[start] == '\n' || line[start] == ';')
        return true;
    const std::size_t comma = line.find(',', start);
    if (comma == std::string_view::npos)
        return false;
    std::size_t nameEnd = comma;
    while (nameEnd > start && isBlank(line[nameEnd - 1]))
        --nameEnd;
    DeviceSpec device;
    device.name.assign(line.substr(start, nameEnd - start));
    std::size_t pos = comma + 1;
    device.gpsPort = readNumber(line, pos);
    if (!expectComma(line, pos))
        return false;
    device.baudRate = supportedGpsRate(readNumber(line, pos));
    if (!expectComma(line, pos))
        return false;
    device.third = readNumber(line, pos);
    if (!expectComma(line, pos))
        return false;
    device.fourth = readNumber(line, pos);
    out = std::move(device);
    return true;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

} // namespace

device_specs::device_specs(const std::u16string& path) {
    FileSystem::WinFileForRead file(path);
    if (!file.isOpen())
        throw std::runtime_error("engine::device_specs::device_specsCan't open file with devices specifications");
    std::uint32_t size = 0;
    std::unique_ptr<char[]> bytes = FileSystem::readFile(file, &size, path);
    if (!bytes)
        return; // readFile has logged why; no records
    parse(std::string_view(bytes.get(), size));
}

void device_specs::parse(std::string_view text) {
    // The file is text: a CR before LF belongs to the line end, so files
    // written with CR LF read the same as files with LF alone.
    std::string lines;
    lines.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            lines += text[i];

    int lineNumber = 1;
    std::size_t pos = 0;
    while (pos < lines.size()) {
        std::size_t length = 0;
        while (length < kLineBuffer - 1 && pos + length < lines.size()) {
            if (lines[pos + length++] == '\n')
                break;
        }
        std::string_view line(lines.data() + pos, length);
        pos += length;
        // A zero byte ends the line's text as the reader sees it.
        line = line.substr(0, line.find('\0'));
        std::optional<DeviceSpec> device;
        if (!parseLine(line, device)) {
            Log::log(Log::Critical, u"Invalid devices specifications file format at line %d", lineNumber);
            return;
        }
        if (device)
            m_records.push_back(std::move(*device));
        ++lineNumber;
    }
}

const DeviceSpec* device_specs::find(std::string_view name) const {
    for (const DeviceSpec& device : m_records)
        if (equalsIgnoringCase(device.name, name))
            return &device;
    return nullptr;
}

std::optional<DeviceSpec> device_specs::configured(const Core::ConfigNode& config, const std::u16string& path) {
    std::string name;
    if (!config.get("device", name) || name.empty())
        return std::nullopt;
    const device_specs specs(path);
    if (const DeviceSpec* device = specs.find(name))
        return *device;
    return std::nullopt; // an unknown device is no error: the GPS settings apply
}

} // namespace engine
