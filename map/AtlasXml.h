#pragma once
// atlas.xml: the list of an atlas folder's maps, rewritten from the folder's
// *.kvm files on every atlas load and then read back. UTF-8 with a
// byte-order mark, each line ending in CR LF:
//
//   <?xml version="1.0" encoding="UTF-8" ?>
//   <!-- comment -->
//   <atlas name="default" dir="FOLDER">
//   \t<map name="TITLE" src="FILE" type="TYPE" time="SECONDS" />
//   \t<gone src="FILE" />
//   </atlas>
//
// A `gone` line names a map file the previous list held that is gone now,
// written only by a load that found no map left: the next start, which
// fails on that atlas, can still name the file the driver lost (the map
// lines list only what the folder holds). The file may have been edited by
// hand: only plain file names are taken from `gone` lines, each once, the
// first MaxGone of them.
// `time` is the map file's last-write time in whole seconds since
// 1970-01-01 00:00 UTC (Unix time, truncated to 32 bits); `type` is one of
// the seven map type names of header byte 44.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Map {

struct AtlasXml {
    struct Map {
        std::u16string name;               // "noname" when absent
        std::optional<std::u16string> src; // required; absent: the entry is skipped
        std::uint32_t type = 0;            // 0 (city) when absent or unknown
        bool typeValid = true;             // false for an unknown type name
        std::uint32_t time = 0;
    };

    // A "*.kvm" entry of the folder that is not listed, and why: the user
    // who put it there is told which file was left out.
    struct LeftOut {
        std::u16string path;
        std::string reason; // "Not a file", "Can't open file: ...", "File is too small", "Invalid map type 7"
    };

    // The most map files named as gone: what a start logs and writes back
    // of them stays bounded, whatever a hand-edited file holds.
    static constexpr std::size_t MaxGone = 100;

    // "city", "region", "country", "world", "pois", "polylines", "invisible".
    static const char* typeName(std::uint32_t type);

    // A name that can only stand for a file of the atlas folder itself: not
    // empty, not "." or "..", no '/' or '\' (so no absolute path and no way
    // out of the folder), no control character (a line break would reach
    // the log and the driver's dialog).
    static bool isPlainFileName(std::u16string_view name);

    // The file's text for a folder: one map line for every "*.kvm" file (not
    // folder) whose first 48 bytes can be read and whose byte 44 is 0..6.
    static std::string build(const std::u16string& folder);
    // The same with `dir` holding the given text (the folder relative to the
    // data folder, so that a moved program folder still matches); the
    // entries left out are added to `leftOut` when it is given.
    static std::string build(const std::u16string& folder, const std::u16string& dir,
                             std::vector<LeftOut>* leftOut = nullptr);
    // A text build gave with a `gone` line for each file name.
    static std::string withGone(std::string text, const std::vector<std::u16string>& gone);
    // Writes build(folder) (or a text build gave) to path through a
    // temporary file renamed over it. False, after logging "Can't create
    // atlas file '%s' (err %d)", when that fails; the previous file is then
    // left as it was.
    static bool write(const std::u16string& path, const std::u16string& folder);
    static bool writeText(const std::u16string& path, const std::string& text);
    // Reads the file's map entries. False after logging (Critical) when the
    // file cannot be opened or read, is not XML, is nested deeper than 64
    // elements, has no `atlas` element or no `dir` attribute.
    // The `dir` text goes to `dir` and the `src` of each `gone` line to
    // `gone` when they are given: plain file names only, each once, at most
    // MaxGone of them; the entries left out are counted in one Critical line
    // per reason.
    static bool read(const std::u16string& path, std::vector<Map>& maps, std::u16string* dir = nullptr,
                     std::vector<std::u16string>* gone = nullptr);
    // The same from a file's text; the path only names it in log lines.
    static bool parse(std::string text, const std::u16string& path, std::vector<Map>& maps,
                      std::u16string* dir = nullptr, std::vector<std::u16string>* gone = nullptr);
};

} // namespace Map
