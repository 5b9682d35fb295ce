#include "render/ImageList.h"

#include "core/Log.h"

namespace Render {

ImageList::ImageList(Factory factory) : m_factory(std::move(factory)) {}

Image* ImageList::loadImage(const std::string& fileName) {
    if (fileName.empty()) {
        Log::log(Log::Normal, u"Load image warning: no file name provided");
        return nullptr;
    }
    for (const Entry& e : m_images)
        if (e.name == fileName)
            return e.image.get();
    std::unique_ptr<Image> image = m_factory ? m_factory(fileName) : nullptr;
    if (!image || !image->isValid())
        return nullptr;
    m_images.push_back({fileName, std::move(image)});
    return m_images.back().image.get();
}

ImageList::Factory packedImageFactory(FileSystem::VirtualFs& files, const SDL_PixelFormat* format) {
    return [&files, format](const std::string& fileName) -> std::unique_ptr<Image> {
        SDL_Surface* surface = loadPackedImage(files, fileName, format);
        if (!surface)
            return nullptr;
        return ImageFromSurface::owning(surface);
    };
}

} // namespace Render
