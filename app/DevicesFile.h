#pragma once
// The device list of devices.inf: known navigation devices with the serial
// port and speed at which their GPS receiver answers. When the settings name
// a device, its record replaces the "gps_port" and "gps_speed" settings.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Core {
class ConfigNode;
}

namespace engine {

// The serial speed a receiver is driven at: the given baud raised to the
// next of 4800, 9600, 19200, 38400, 57600 and 115200.
std::int32_t supportedGpsRate(std::int32_t baud);

struct DeviceSpec {
    std::string name;
    std::int32_t gpsPort = 0;
    // Always one of the rates supportedGpsRate gives.
    std::int32_t baudRate = 4800;
    // Kept as read; the program has no use for them.
    std::int32_t third = 0;
    std::int32_t fourth = 0;
};

class device_specs {
public:
    // Reads the whole file. A malformed line is logged with its line number
    // and ends the reading there; the records before it stay. Throws
    // std::runtime_error when the file can't be opened.
    explicit device_specs(const std::u16string& path);

    // The first record whose name equals the given one without regard to
    // ASCII letter case; null when none does.
    const DeviceSpec* find(std::string_view name) const;

    const std::vector<DeviceSpec>& records() const { return m_records; }

    // The record of the device named by the setting "device", read from the
    // file at path; nothing (and the file is not read) when no device is set,
    // nothing either when no record carries the name.
    static std::optional<DeviceSpec> configured(const Core::ConfigNode& config, const std::u16string& path);

private:
    // Parses the text as the file's bytes; stops at the first bad line.
    void parse(std::string_view text);

    std::vector<DeviceSpec> m_records;
};

} // namespace engine
