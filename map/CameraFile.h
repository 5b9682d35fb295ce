#pragma once
// camera.kvc: where the user was looking in an atlas. 21 bytes, little-
// endian, no header: i32 centre x, i32 centre y, f32 scale, f32 rotation,
// u8 mode, u32 zoom-step word (byte 0: 1 when the selector is not 0, byte 1:
// selector - 1, bytes 2 and 3: 0).

#include "map/CameraFields.h"

#include <cstdint>
#include <string>

namespace Map {

struct CameraFile {
    // Scale limits of a stored camera (screen pixels per global unit):
    // wider than any zoom the view offers.
    static constexpr float MinScale = 1e-10f;
    static constexpr float MaxScale = 1e3f;

    // Reads the file into camera and selector. False, changing nothing, when
    // the file is missing or short, and (logged) when a value is not usable:
    // a scale that is not finite or outside MinScale..MaxScale, a rotation
    // that is not finite, a mode other than 0 or 1. A finite rotation is
    // brought into -pi..pi.
    static bool read(const std::u16string& path, CameraFields& camera, std::uint32_t& selector);
    // Replaces the file atomically; false when it cannot be written (not
    // logged here: the caller says it), the file then as it was and *error,
    // when given, the Win32 number of why.
    static bool write(const std::u16string& path, const CameraFields& camera, std::uint32_t selector,
                      int* error = nullptr);
};

} // namespace Map
