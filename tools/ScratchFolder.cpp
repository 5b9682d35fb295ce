#include "tools/ScratchFolder.h"

#include <random>
#include <stdexcept>

namespace Tools {

namespace {

std::filesystem::path makeFolder(const std::string& prefix) {
    std::random_device random;
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path folder = base / (prefix + "-" + std::to_string(random()));
        std::error_code error;
        if (std::filesystem::create_directory(folder, error)) return folder;
    }
    throw std::runtime_error("cannot create a scratch folder");
}

} // namespace

ScratchFolder::ScratchFolder(const std::string& prefix) : path(makeFolder(prefix)) {}

ScratchFolder::~ScratchFolder() {
    std::error_code error;
    std::filesystem::remove_all(path, error);
}

} // namespace Tools
