#pragma once
// Images shared by file name. The style readers load POI icons through the
// ImageLoader interface; the user interface implements it with its own image
// list (the images stay owned by that list). ImageList is such a list: it
// makes each image once through a factory, drops images that are not valid
// and hands out shared pointers that live as long as the list.

#include "render/Image.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

struct SDL_PixelFormat;

namespace FileSystem {
class VirtualFs;
}

namespace Render {

class ImageLoader {
public:
    virtual ~ImageLoader() = default;
    // The image of that file name, owned by the loader; null when it cannot
    // be loaded.
    virtual Image* loadImage(const std::string& fileName) = 0;
};

class ImageList : public ImageLoader {
public:
    // Makes a new image for a file name (it may return null).
    using Factory = std::function<std::unique_ptr<Image>(const std::string& fileName)>;

    explicit ImageList(Factory factory);

    // An empty name logs "Load image warning: no file name provided" (Normal)
    // and gives null. A name already in the list gives its image. Otherwise a
    // new image is made; one that is not valid is destroyed and null
    // returned (and the name tried again on the next call), else it joins
    // the list.
    Image* loadImage(const std::string& fileName) override;

    std::size_t size() const { return m_images.size(); }

private:
    struct Entry {
        std::string name;
        std::unique_ptr<Image> image;
    };
    Factory m_factory;
    std::vector<Entry> m_images;
};

// A factory of images read from the data packages (loose files where a
// package is missing) and converted for a surface of the given format,
// keeping alpha. The file system must outlive the factory.
ImageList::Factory packedImageFactory(FileSystem::VirtualFs& files, const SDL_PixelFormat* format);

} // namespace Render
