#pragma once
// The exception every section reader throws while a map file opens: a fixed
// English message ("Section is too small", "Unknown strings section version"),
// which the atlas logs before it skips the map.

#include <stdexcept>
#include <string>

namespace Map::File {

class FormatError : public std::runtime_error {
public:
    explicit FormatError(const std::string& message) : std::runtime_error(message) {}
};

} // namespace Map::File
