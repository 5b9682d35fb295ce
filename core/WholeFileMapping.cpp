#include "core/WholeFileMapping.h"

#include "core/Log.h"
#include "platform/Error.h"

#include <utility>

namespace FileSystem {

WholeFileView::~WholeFileView() { Platform::unmapWindow(m_base, m_size); }

WholeFileView::WholeFileView(WholeFileView&& other) noexcept
    : m_base(std::exchange(other.m_base, nullptr)), m_size(std::exchange(other.m_size, 0)) {}

WholeFileView& WholeFileView::operator=(WholeFileView&& other) noexcept {
    if (this != &other) {
        Platform::unmapWindow(m_base, m_size);
        m_base = std::exchange(other.m_base, nullptr);
        m_size = std::exchange(other.m_size, 0);
    }
    return *this;
}

WholeFileMapping::WholeFileMapping(std::u16string path)
    : WholeFileMapping(path, Platform::MappableFile(path)) {}

WholeFileMapping::WholeFileMapping(std::u16string path, Platform::MappableFile file)
    : m_path(std::move(path)), m_file(std::move(file)) {
    if (!m_file.isOpen()) {
        Log::log(Log::Critical, u"CreateFileMapping failed (err %d)", Platform::lastError());
        Log::log(Log::Critical, u"filename = '%s'", m_path);
    }
}

WholeFileView WholeFileMapping::mapWhole() const {
    const std::uint8_t* base = m_file.mapWindow(0, m_file.size());
    if (!base) {
        const int error = Platform::lastError();
        Log::log(Log::Critical, u"MapViewOfFile(%d, %d) failed (err %d)", 0, m_file.size(), error);
        Log::log(Log::Critical, u"filename = '%s'", m_path);
        return {};
    }
    return WholeFileView(base, m_file.size());
}

} // namespace FileSystem
