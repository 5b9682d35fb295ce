#pragma once
// The system's output volume, which the sound player reads to leave its
// switches off on a muted system.

#include <cstdint>

namespace Platform {

// Left volume in the low 16 bits, right in the high 16 bits; 0 is muted.
// False with an error number when the volume can't be read. Linux has no
// single system mixer the program could rely on, so this reports full
// volume on both channels.
bool systemVolume(std::uint32_t& volume, int& error);

} // namespace Platform
