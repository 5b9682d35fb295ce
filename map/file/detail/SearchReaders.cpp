#include "map/file/detail/SearchReaders.h"

#include "map/file/FormatError.h"

#include <utility>

// The full text-search and spatial-search readers are being written beside
// this code; until they are part of the map library, the container checks
// what it must at open (the section version and that the fixed header fits)
// with the two small classes below, so maps open and are refused exactly as
// they will be. When the readers land, this file includes their headers and
// the classes below go.

namespace Map::File {

class TextSearchSectionReader {
public:
    TextSearchSectionReader(std::uint16_t version, std::shared_ptr<SectionView> view) : m_view(std::move(view)) {
        if (version != 1)
            throw FormatError("Unknown text search index section version");
        if (!m_view || m_view->size() < 60)
            throw FormatError("Section is too small");
    }

private:
    std::shared_ptr<SectionView> m_view;
};

class SpatialSearchSectionReader {
public:
    SpatialSearchSectionReader(std::uint16_t version, std::shared_ptr<SectionView> view) : m_view(std::move(view)) {
        if (version != 1 && version != 2)
            throw FormatError("Unknown spatial search index section version");
        if (!m_view || m_view->size() < (version == 1 ? 4u : 8u))
            throw FormatError("Section is too small");
    }

private:
    std::shared_ptr<SectionView> m_view;
};

namespace detail {

std::shared_ptr<TextSearchSectionReader> makeTextSearchReader(std::uint16_t version,
                                                              std::shared_ptr<SectionView> view) {
    return std::make_shared<TextSearchSectionReader>(version, std::move(view));
}

std::shared_ptr<SpatialSearchSectionReader> makeSpatialSearchReader(std::uint16_t version,
                                                                    std::shared_ptr<SectionView> view) {
    return std::make_shared<SpatialSearchSectionReader>(version, std::move(view));
}

} // namespace detail
} // namespace Map::File
