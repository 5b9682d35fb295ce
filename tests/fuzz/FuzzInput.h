#pragma once
// What the entry points share: a logger that formats every message and
// keeps none (the formatting is exercised, memory stays flat), and a
// scratch file for readers that take a path.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace FuzzInput {

// Installs the discarding logger once per process; call at every input.
void quietLog();

// Writes the bytes to the named file in this process's scratch folder and
// returns its path in the program's wide form.
std::u16string scratchFile(std::string_view name, const std::uint8_t* data, std::size_t size);

// The scratch folder, with a trailing slash.
std::u16string scratchFolder();

} // namespace FuzzInput
