#include "map/file/SpatialSearchSectionReader.h"

#include "map/file/FormatError.h"
#include "map/file/detail/Bytes.h"

namespace Map::File {

using detail::u32At;

namespace {

void readHeader(FileSystem::FileRW& file, std::uint8_t* bytes, std::size_t size) {
    if (file.read(bytes, size, 1) != 1)
        throw FormatError("Section is too small");
}

} // namespace

class SpatialSearchSectionReader::ImplV1 : public SpatialSearchSectionReader::ImplBase {
public:
    explicit ImplV1(std::shared_ptr<SectionView> view) : m_file(std::move(view)) {
        std::uint8_t bytes[4];
        readHeader(m_file, bytes, 4);
        m_headerWord = u32At(bytes);
        m_tree.emplace(m_file, 0, SpatialTree::Typed);
    }

    bool nearest(NnVisitor& visitor, Point point, const std::vector<std::uint16_t>& types) override {
        if (!visitor.wantsMore())
            return true;
        TypeFilter filter(visitor, types);
        m_tree->nearest(visitor, point, &filter);
        return false;
    }
    bool nearestUntyped(NnVisitor&, Point) override { return false; }
    std::uint32_t headerWord() const override { return m_headerWord; }
    const SpatialTree* tree(int number) const override { return number == 1 ? &*m_tree : nullptr; }

private:
    SectionViewRW m_file;
    std::uint32_t m_headerWord = 0;
    std::optional<SpatialTree> m_tree;
};

class SpatialSearchSectionReader::ImplV2 : public SpatialSearchSectionReader::ImplBase {
public:
    explicit ImplV2(std::shared_ptr<SectionView> view) : m_file(std::move(view)) {
        std::uint8_t bytes[8];
        readHeader(m_file, bytes, 8);
        m_headerWord = u32At(bytes);
        const std::uint32_t tree2 = u32At(bytes + 4);
        m_tree1.emplace(m_file, 0, SpatialTree::Typed);
        // A tree-2 offset outside the section leaves no tree 2; searches of
        // it answer as for an empty tree.
        if (tree2 <= 0x7FFFFFFF && m_file.seek(static_cast<std::int32_t>(tree2)))
            m_tree2.emplace(m_file, 0, SpatialTree::Untyped);
    }

    bool nearest(NnVisitor& visitor, Point point, const std::vector<std::uint16_t>& types) override {
        TypeFilter filter(visitor, types);
        return m_tree1->nearest(visitor, point, &filter);
    }
    bool nearestUntyped(NnVisitor& visitor, Point point) override {
        return m_tree2 ? m_tree2->nearest(visitor, point, nullptr) : true;
    }
    std::uint32_t headerWord() const override { return m_headerWord; }
    const SpatialTree* tree(int number) const override {
        if (number == 1)
            return &*m_tree1;
        return number == 2 && m_tree2 ? &*m_tree2 : nullptr;
    }

private:
    SectionViewRW m_file;
    std::uint32_t m_headerWord = 0;
    std::optional<SpatialTree> m_tree1;
    std::optional<SpatialTree> m_tree2;
};

SpatialSearchSectionReader::SpatialSearchSectionReader(std::uint16_t version, std::shared_ptr<SectionView> view) {
    if (version == 1)
        m_impl = std::make_unique<ImplV1>(std::move(view));
    else if (version == 2)
        m_impl = std::make_unique<ImplV2>(std::move(view));
    else
        throw FormatError("Unknown spatial search index section version");
}

SpatialSearchSectionReader::~SpatialSearchSectionReader() = default;

} // namespace Map::File
