#pragma once
// Data files served from ZIP packages of stored entries or, where a
// package is missing or unusable, from loose files.
//
// A path is a folder, a "/" and the rest ("images/a.bmp"); the package of
// that folder is root + folder + extension ("images.zip"), its entries named
// by the whole path. A package is loaded on first use and stays mapped while
// the VirtualFs lives; one that cannot be read is tried once per run (the
// reason is logged) and its folder is then served from loose files. A loaded
// package is not backed by loose files: a path it lacks opens nothing.
//
// Not thread-safe: used by one thread at a time.

#include "core/WholeFileMapping.h"
#include "core/ZipIndex.h"

#include <memory>
#include <string>
#include <vector>

struct SDL_RWops;

namespace FileSystem {

class VirtualFs {
public:
    // root is the data folder; a separator is added when it lacks one.
    explicit VirtualFs(std::u16string root);
    virtual ~VirtualFs();
    VirtualFs(const VirtualFs&) = delete;
    VirtualFs& operator=(const VirtualFs&) = delete;

    // A read stream over the file's bytes (the caller closes it), or null.
    // A packed file is read straight from the mapped archive, so the stream
    // must be closed before this object is destroyed.
    SDL_RWops* open(const std::string& path, const std::string& packageExtension);

    const std::u16string& root() const { return m_root; }

private:
    struct Package {
        std::string name;
        WholeFileView view;
        bool tried = false;
        std::vector<ZipEntry> entries;
    };

    void load(Package& package);
    SDL_RWops* openLoose(const std::string& path) const;

    std::u16string m_root;
    // Sorted by name in byte order.
    std::vector<std::unique_ptr<Package>> m_packages;
};

} // namespace FileSystem
