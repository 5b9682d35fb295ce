#pragma once
// A fresh folder per test, removed with everything in it when the object
// goes away; tests run in parallel and never share files.

#include <filesystem>
#include <string>

namespace TestSupport {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }
    // Writes bytes to a file inside the folder and returns its path.
    std::filesystem::path write(const std::string& name, const std::string& bytes) const;

private:
    std::filesystem::path m_path;
};

// Whole contents of a file, empty when it cannot be read.
std::string readAll(const std::filesystem::path& file);

} // namespace TestSupport
