#pragma once
// The candidate atlas folders: the subfolders of the data folder's "maps"
// folder, in name order ignoring case, and which of them is current.

#include "map/AtlasServices.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Map {

class AtlasFolderList {
  public:
    struct Record {
        std::u16string name; // the folder's name
        std::u16string path; // its full path
    };

    // Keeps every folder entry of dataPath("maps") whose name is not empty
    // and does not begin with "."; the current index is the first record
    // whose path equals currentPath exactly, else the record count.
    AtlasFolderList(const AtlasPaths& paths, const std::u16string& currentPath);

    const std::vector<Record>& records() const { return m_records; }
    std::uint32_t current() const { return m_current; }
    // The atlases page's choice.
    void setCurrent(std::uint32_t index) { m_current = index; }

  private:
    std::vector<Record> m_records;
    std::uint32_t m_current = 0;
};

} // namespace Map
