#include "render/TtfFont.h"

#include "core/RWops.h"
#include "core/WinFile.h"

#include <SDL.h>

namespace Render {

std::shared_ptr<Font> TtfFont::create(SDL_RWops* stream, std::int32_t size, bool closeStream) {
    auto face = std::make_unique<TtfFace>(stream, closeStream);
    if (!face->isOpen() || !face->setSize(size)) return {};
    return std::make_shared<TtfFont>(std::move(face));
}

std::shared_ptr<Font> TtfFont::open(const std::u16string& path, std::int32_t size) {
    SDL_RWops* stream = FileSystem::createRWops(std::make_unique<FileSystem::WinFileForRead>(path));
    if (!stream) return {};
    return create(stream, size, true);
}

} // namespace Render
