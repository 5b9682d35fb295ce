#pragma once
// A folder of its own in the system's temporary folder for what a review or
// query tool's work writes (an atlas list, a search index), so that the
// user's data folder is left as the tool found it. Removed with its
// contents when the object goes.

#include <filesystem>
#include <string>

namespace Tools {

class ScratchFolder {
  public:
    // A new folder named prefix-NUMBER; throws std::runtime_error when none
    // can be made.
    explicit ScratchFolder(const std::string& prefix);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path path;
};

} // namespace Tools
