#pragma once
// Replacing a file so that a crash or a failed write never leaves it torn.
//
// The new contents go to a temporary file beside the target (same folder,
// so the same file system); commit() forces them to the disk, closes the
// file, checking every result, and renames it over the target in one step.
// Until commit() succeeds the target is untouched; on any failure the
// temporary file is removed. Used for every file the program rewrites
// (config.xml, GPX, path files, indexes, atlas.xml).
//
//     Platform::AtomicFile out(u"data/config.xml");
//     out.write(text.data(), text.size());
//     if (!out.commit())
//         Log::log(Log::Critical, u"Can't save ... (err %d)", out.error());

#include "platform/File.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace Platform {

class AtomicFile {
public:
    // Creates the temporary file; isOpen() is false when that fails.
    explicit AtomicFile(std::u16string_view target);
    // Discards the new contents unless commit() succeeded.
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    bool isOpen() const { return m_file.isOpen(); }
    // The temporary file, for writers that seek; failures of writes made
    // through it directly must be reported with fail().
    File& file() { return m_file; }

    // Writes all bytes; a failure is remembered and makes commit() fail.
    bool write(const void* data, std::size_t size);
    bool write(std::string_view bytes) { return write(bytes.data(), bytes.size()); }
    // Marks the contents as bad (with a Win32 error number): commit() will
    // refuse them.
    void fail(int error);
    bool failed() const { return m_error != 0; }

    // Syncs, closes and renames over the target. False when the file could
    // not be created, a write failed, or any of these steps failed; the
    // target then keeps its old contents and the temporary file is gone.
    bool commit();
    // Removes the temporary file; the target stays as it was.
    void discard();

    // The Win32 number of the first failure, 0 when none.
    int error() const { return m_error; }
    const std::string& nativeTarget() const { return m_target; }
    const std::string& nativeTemporary() const { return m_temporary; }

private:
    File m_file;
    std::string m_target;
    std::string m_temporary;
    int m_error = 0;
    bool m_finished = false;
};

// Writes bytes as the whole new contents of path through an AtomicFile.
// True when the target now holds exactly these bytes; on false the last
// error tells why and the target is unchanged.
bool writeFileAtomically(std::u16string_view path, const void* data, std::size_t size);
inline bool writeFileAtomically(std::u16string_view path, std::string_view bytes) {
    return writeFileAtomically(path, bytes.data(), bytes.size());
}

// The temporary files of AtomicFile that a killed process left beside the
// target ("<target>.tmp<pid>-<n>" whose process is gone), removed; returns
// their native paths. A file of a process still running (this one
// included) is kept: it may be writing.
std::vector<std::string> removeStaleTemporaries(std::u16string_view target);
// The same for every target in folder whose file name (UTF-8) isTarget
// accepts: only names of that exact form are touched, never another file.
std::vector<std::string> removeStaleTemporariesIn(std::u16string_view folder,
                                                  const std::function<bool(std::string_view)>& isTarget);

} // namespace Platform
