#include "map/CameraFile.h"

#include "core/AtomicFileForWrite.h"
#include "core/Log.h"
#include "core/WinFile.h"
#include "platform/Error.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numbers>

namespace Map {

namespace {

std::uint32_t u32Of(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void putU32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

} // namespace

bool CameraFile::read(const std::u16string& path, CameraFields& camera, std::uint32_t& selector) {
    FileSystem::WinFileForRead file(path);
    if (!file.isOpen()) return false;
    std::uint8_t centre[8], scale[4], rotation[4], mode[1], zoom[4];
    // Five reads, as the fields were written; all must succeed.
    const bool complete = file.read(centre, 8, 1) == 1 && file.read(scale, 4, 1) == 1 &&
                          file.read(rotation, 4, 1) == 1 && file.read(mode, 1, 1) == 1 &&
                          file.read(zoom, 4, 1) == 1;
    if (!complete) return false;

    const float s = std::bit_cast<float>(u32Of(scale));
    float r = std::bit_cast<float>(u32Of(rotation));
    if (!std::isfinite(s) || s < MinScale || s > MaxScale || !std::isfinite(r) || mode[0] > 1) {
        Log::log(Log::Critical, u"Camera file '%s' holds an invalid view - using the default", path);
        return false;
    }
    if (r < -std::numbers::pi_v<float> || r > std::numbers::pi_v<float>)
        r = static_cast<float>(std::remainder(static_cast<double>(r), 2 * std::numbers::pi));

    camera.centreX = static_cast<std::int32_t>(u32Of(centre));
    camera.centreY = static_cast<std::int32_t>(u32Of(centre + 4));
    camera.scale = s;
    camera.rotation = r;
    camera.mode = mode[0];
    selector = zoom[0] == 0 ? 0 : std::min<std::uint32_t>(zoom[1], 2) + 1;
    return true;
}

bool CameraFile::write(const std::u16string& path, const CameraFields& camera, std::uint32_t selector,
                       int* error) {
    std::uint8_t bytes[21] = {};
    putU32(bytes, static_cast<std::uint32_t>(camera.centreX));
    putU32(bytes + 4, static_cast<std::uint32_t>(camera.centreY));
    putU32(bytes + 8, std::bit_cast<std::uint32_t>(camera.scale));
    putU32(bytes + 12, std::bit_cast<std::uint32_t>(camera.rotation));
    bytes[16] = camera.mode;
    if (selector != 0) {
        bytes[17] = 1;
        bytes[18] = static_cast<std::uint8_t>(selector - 1);
    }
    FileSystem::AtomicFileForWrite file(path);
    // Nothing replaces the old file unless all 21 bytes reached the disk.
    if (file.isOpen() && file.write(bytes, sizeof bytes, 1) == 1 && file.commit()) return true;
    if (error) *error = file.lastError() != 0 ? file.lastError() : Platform::ErrorInvalidFunction;
    return false;
}

} // namespace Map
