#include "map/file/detail/SearchReaders.h"

#include "map/file/SpatialSearchSectionReader.h"
#include "map/file/TextSearchSectionReader.h"

#include <utility>

namespace Map::File::detail {

std::shared_ptr<TextSearchSectionReader> makeTextSearchReader(std::uint16_t version,
                                                              std::shared_ptr<SectionView> view) {
    return std::make_shared<TextSearchSectionReader>(version, std::move(view));
}

std::shared_ptr<SpatialSearchSectionReader> makeSpatialSearchReader(std::uint16_t version,
                                                                    std::shared_ptr<SectionView> view) {
    return std::make_shared<SpatialSearchSectionReader>(version, std::move(view));
}

} // namespace Map::File::detail
