#pragma once
// Reader of the strings section: every text of a map once, as UTF-16 strings
// addressed by a string id (1..count-1, 0 is the empty string) or by the
// section offset of their first unit.

#include "map/file/SectionView.h"

#include <cstdint>
#include <memory>
#include <string>

namespace Map::File {

class StringsSectionReader {
public:
    struct Entry {
        std::uint32_t offset = 0; // section offset of the string
        std::uint32_t length = 0; // bytes, terminator included
        bool operator==(const Entry&) const = default;
    };

    class ImplBase {
    public:
        virtual ~ImplBase() = default;
        virtual std::uint32_t count() const = 0;
        virtual Entry entry(std::uint32_t id) = 0;
        virtual bool string(std::uint32_t id, std::u16string& out) = 0;
        virtual bool stringAt(std::uint32_t offset, std::u16string& out) = 0;
    };

    // Throws FormatError "Unknown strings section version" for any version
    // but 0, "Section is too small" when the header or the offset table does
    // not fit the section.
    StringsSectionReader(std::uint16_t version, std::shared_ptr<SectionView> view);
    ~StringsSectionReader();

    // The string count B; ids 1..B-1 are stored.
    std::uint32_t count() const { return m_impl->count(); }
    // {section offset, byte length} of a string; {0, 0} for id 0, an id at or
    // beyond the count, an inconsistent table entry or a lost view.
    Entry entry(std::uint32_t id) { return m_impl->entry(id); }
    // Id 0 clears out and succeeds; false for an id at or beyond the count, a
    // table entry outside the string data or a lost view.
    bool string(std::uint32_t id, std::u16string& out) { return m_impl->string(id, out); }
    // The units from a section offset up to the first zero unit (or the
    // section end). Offset 0 is the empty string; an offset at or beyond the
    // section size fails.
    bool stringAt(std::uint32_t offset, std::u16string& out) { return m_impl->stringAt(offset, out); }

private:
    std::unique_ptr<ImplBase> m_impl;
};

// Reader of the copyright section: five header words and the text.
class CopyrightSectionReader {
public:
    class ImplBase {
    public:
        virtual ~ImplBase() = default;
        virtual bool header(std::uint32_t (&out)[5]) = 0;
        virtual bool text(std::u16string& out) = 0;
    };

    // Throws FormatError "Unknown copyright section version" for any version
    // but 1, "Section is too small" for a section under 20 bytes.
    CopyrightSectionReader(std::uint16_t version, std::shared_ptr<SectionView> view);
    ~CopyrightSectionReader();

    bool header(std::uint32_t (&out)[5]) { return m_impl->header(out); }
    // All units after the header; false only when the view is lost.
    bool text(std::u16string& out) { return m_impl->text(out); }

private:
    std::unique_ptr<ImplBase> m_impl;
};

} // namespace Map::File
