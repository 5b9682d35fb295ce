#include "core/FileFinder.h"

#include "core/Log.h"
#include "core/Text.h"
#include "platform/Directory.h"
#include "platform/Error.h"
#include "platform/Path.h"

#include <algorithm>
#include <atomic>

namespace FileSystem {
namespace {

constexpr std::uint32_t kInvalidHandle = 0xFFFFFFFF;
constexpr int kNoMoreFiles = 18; // the Win32 number callers know

bool isSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

std::u16string folded(std::u16string_view s) {
    std::u16string out(s);
    for (auto& c : out)
        c = Core::toLower(c);
    return out;
}

std::uint32_t nextHandle() {
    // Each successful search gets its own small, never invalid number.
    static std::atomic<std::uint32_t> counter{0};
    std::uint32_t h = ++counter;
    if (h == 0 || h == kInvalidHandle)
        h = ++counter;
    return h;
}

} // namespace

bool FileFinder::matches(std::u16string_view name, std::u16string_view pattern) {
    if (pattern == u"*.*")
        return true;
    // Iterative wildcard match: remember the last "*" and retry from there.
    std::size_t n = 0, p = 0;
    std::size_t starP = std::u16string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == u'?' || Core::toLower(pattern[p]) == Core::toLower(name[n]))) {
            ++p;
            ++n;
        } else if (starP != std::u16string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

std::unique_ptr<FileFinder> FileFinder::create(std::u16string_view folder, std::u16string_view pattern) {
    std::unique_ptr<FileFinder> f(new FileFinder);
    f->m_path.assign(folder);
    if (f->m_path.empty() || !isSeparator(f->m_path.back()))
        f->m_path.push_back(u'\\');
    f->m_folderLength = f->m_path.size();

    // A pattern with folders in it ("maps\*.kvm") searches the last of them.
    std::u16string_view namePattern = pattern;
    std::u16string listFolder = f->m_path;
    const auto cut = pattern.find_last_of(u"\\/");
    if (cut != std::u16string_view::npos) {
        listFolder.append(pattern.substr(0, cut + 1));
        namePattern = pattern.substr(cut + 1);
        f->m_path = listFolder;
        f->m_folderLength = listFolder.size();
    }

    std::vector<Platform::DirectoryEntry> listed;
    int error = Platform::ErrorSuccess;
    if (Platform::listDirectory(Platform::toNativePath(listFolder), listed)) {
        for (auto& e : listed) {
            std::u16string name = Platform::fromNativePath(e.name);
            if (!matches(name, namePattern))
                continue;
            Entry entry;
            entry.name = std::move(name);
            entry.directory = e.directory;
            entry.size = e.size;
            entry.modified.year = static_cast<std::uint16_t>(e.modified.year);
            entry.modified.month = static_cast<std::uint8_t>(e.modified.month);
            entry.modified.day = static_cast<std::uint8_t>(e.modified.day);
            entry.modified.hour = static_cast<std::uint8_t>(e.modified.hour);
            entry.modified.minute = static_cast<std::uint8_t>(e.modified.minute);
            entry.modified.second = static_cast<std::uint8_t>(e.modified.second);
            entry.modified.millisecond = static_cast<std::uint16_t>(e.modified.millisecond);
            f->m_entries.push_back(std::move(entry));
        }
        if (f->m_entries.empty())
            error = Platform::ErrorFileNotFound;
    } else {
        error = Platform::lastError();
    }

    // Case-insensitive order; names equal but for case keep a fixed order
    // by their code units.
    std::vector<std::pair<std::u16string, std::size_t>> keys;
    keys.reserve(f->m_entries.size());
    for (std::size_t i = 0; i < f->m_entries.size(); ++i)
        keys.emplace_back(folded(f->m_entries[i].name), i);
    std::sort(keys.begin(), keys.end(), [&](const auto& a, const auto& b) {
        if (a.first != b.first)
            return a.first < b.first;
        return f->m_entries[a.second].name < f->m_entries[b.second].name;
    });
    std::vector<Entry> sorted;
    sorted.reserve(keys.size());
    for (const auto& k : keys)
        sorted.push_back(std::move(f->m_entries[k.second]));
    f->m_entries = std::move(sorted);

    if (!f->m_entries.empty()) {
        f->m_handle = nextHandle();
        f->setCurrent();
    }
    if (f->m_handle == kInvalidHandle)
        Log::log(Log::Normal, u"Iterating '%s' in '%s': nothing found", pattern, folder);
    else
        Log::log(Log::Normal, u"Iterating '%s' in '%s': %u entries", pattern, folder,
                 static_cast<unsigned>(f->m_entries.size()));
    if (f->m_handle == kInvalidHandle)
        Platform::setLastError(error);
    return f;
}

void FileFinder::setCurrent() {
    m_path.resize(m_folderLength);
    m_path += m_entries[m_current].name;
}

bool FileFinder::next() {
    if (m_handle == kInvalidHandle || m_atEnd)
        return false;
    if (m_current + 1 >= m_entries.size()) {
        m_atEnd = true;
        Platform::setLastError(kNoMoreFiles);
        return false;
    }
    ++m_current;
    setCurrent();
    return true;
}

bool FileFinder::atEnd() const { return m_handle == kInvalidHandle || m_atEnd; }

std::uint32_t FileFinder::attributes() const {
    if (atEnd())
        return 0;
    return m_entries[m_current].directory ? kAttributeDirectory : kAttributeNormal;
}

bool FileFinder::isDirectory() const { return !atEnd() && m_entries[m_current].directory; }

std::uint64_t FileFinder::size() const { return atEnd() ? 0 : m_entries[m_current].size; }

Positioning::DateTime FileFinder::modificationTime() const {
    return atEnd() ? Positioning::DateTime{} : m_entries[m_current].modified;
}

} // namespace FileSystem
