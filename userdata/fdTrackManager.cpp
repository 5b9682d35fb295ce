#include "userdata/fdTrackManager.h"

#include "core/FileFinder.h"
#include "core/Format.h"
#include "core/Log.h"
#include "map/Projection.h"
#include "platform/Error.h"
#include "platform/File.h"
#include "platform/Path.h"
#include "positioning/System.h"
#include "userdata/TrackPainter.h"
#include "userdata/detail/LittleEndian.h"

#include <cmath>
#include <filesystem>
#include <system_error>

namespace {

bool isSeparator(char16_t c) {
    return c == u'/' || c == u'\\';
}

} // namespace

bool fdTrackManager::Track::storeShowFlag(const std::u16string& path, bool shown, std::uint32_t colour) {
    Platform::File file = Platform::File::open(path, Platform::File::Mode::ReadWrite);
    if (!file.isOpen()) {
        Log::log(Log::Critical, u"Can't open track file '%s' (err %d)", path, Platform::lastError());
        return false;
    }
    // A file that ends inside its header (cut by a full disk or a copy) is
    // refused as it is: writing the flags would grow it into a header of
    // made-up bytes.
    const auto refuseCut = [&path] {
        Log::log(Log::Critical, u"Track file '%s' ends inside its header: left unchanged", path);
        return false;
    };
    std::uint8_t head[TrackFile::HeaderSize] = {};
    std::size_t done = 0;
    if (!file.read(head, 6, done)) return false;
    if (done != 6) return refuseCut();
    const std::uint16_t version = UserData::detail::getU16(head + 4);
    std::size_t blockSize = 0;
    std::size_t colourAt = 0;
    std::size_t shownAt = 0;
    if (version <= TrackFile::Version1) {
        blockSize = 10, colourAt = 8, shownAt = 14;
    } else if (version == TrackFile::Version2) {
        blockSize = 8, colourAt = 6, shownAt = 12;
    } else {
        return true;
    }
    if (!file.read(head + 6, blockSize, done)) return false;
    if (done != blockSize) return refuseCut();
    UserData::detail::putU32(head + colourAt, colour);
    head[shownAt] = shown ? 0xFF : 0;
    return file.seek(6, Platform::SeekOrigin::Begin) == 6 && file.write(head + 6, blockSize, done) &&
           file.close();
}

fdTrackManager::fdTrackManager(std::u16string folder, Core::ConfigNodePtr config, Positioning::Clock& clock)
    : m_folder(std::move(folder)), m_config(std::move(config)), m_clock(clock),
      m_mutex("Can't create track manager mutex") {
    if (m_folder.empty() || !isSeparator(m_folder.back())) m_folder.push_back(u'/');
    m_state = m_config->value("tracker_state", 0);
    m_interval = m_config->value("tracker_interval", 5000);
    m_minDist = m_config->value("tracker_mindist", 30.0f);
    m_color = static_cast<std::uint16_t>(m_config->value("tracker_color", 0));
    m_size = static_cast<std::uint16_t>(m_config->value("tracker_size", 1));
    scanFolder();
}

fdTrackManager::~fdTrackManager() {
    closeTracks();
}

void fdTrackManager::scanFolder() {
    Threading::SdlLock lock(m_mutex);
    const auto finder = FileSystem::FileFinder::create(m_folder, u"*.kvt");
    for (; !finder->atEnd(); finder->next()) {
        if (finder->isDirectory()) continue;
        auto track = std::make_unique<Track>();
        track->name = finder->name();
        track->file = std::make_unique<TrackFile>();
        track->file->load(pathOf(track->name));
        if (track->file->pointCount() == 0) {
            // A kill before the first block reached the disk, or a recording
            // stopped before its first fix, leaves the bare header (or less):
            // nothing to keep, and never listed.
            std::error_code error;
            const auto size = std::filesystem::file_size(Platform::toNativePath(pathOf(track->name)), error);
            if (!error &&
                (size == 0 ||
                 (track->file->headerRead() && size < TrackFile::HeaderSize + TrackFile::RecordSize)) &&
                Platform::deleteFile(pathOf(track->name)))
                Log::log(Log::Normal, u"Track file '%s' holds no point: removed", pathOf(track->name));
            continue;
        }
        if (track->file->unclosed()) {
            // Left by a crash or a kill while recording: the header gets what
            // close() would have written, and the track is shown.
            const std::uint32_t colour = trackPaletteColour(m_color);
            if (TrackFile::repairUnclosed(pathOf(track->name), colour, m_size)) {
                Log::log(Log::Normal, u"Track file '%s' was not closed: %u points kept", pathOf(track->name),
                         track->file->pointCount());
                track->file->load(pathOf(track->name));
            }
        }
        track->colour = track->storedColour = track->file->colour();
        track->shown = track->storedShown = track->file->shown();
        track->stored = true;
        m_tracks.push_back(std::move(track));
    }
    if (m_tracks.empty()) {
        std::error_code ignored;
        std::filesystem::create_directories(Platform::toNativePath(m_folder), ignored);
    }
}

std::u16string fdTrackManager::newTrackName(const Positioning::DateTime& t) const {
    const std::u16string stem = Core::format(u"%.4d%.2d%.2d-%.2d%.2d%.2d", int{t.year}, int{t.month},
                                             int{t.day}, int{t.hour}, int{t.minute}, int{t.second});
    Threading::SdlLock lock(m_mutex);
    for (int suffix = 1;; ++suffix) {
        const std::u16string name = suffix == 1 ? stem + u".kvt" : Core::format(u"%s-%d.kvt", stem, suffix);
        bool taken = Platform::fileExists(pathOf(name));
        for (const auto& track : m_tracks)
            taken = taken || track->name == name;
        if (!taken) return name;
    }
}

bool fdTrackManager::startTrack(const std::u16string& name) {
    Threading::SdlLock lock(m_mutex);
    auto track = std::make_unique<Track>();
    track->name = name;
    track->file = std::make_unique<TrackFile>();
    if (!track->file->create(pathOf(name), m_color, m_size)) {
        m_startError = Platform::lastError();
        Log::log(Log::Critical, u"Can't create track file '%s' (err %d)", pathOf(name), m_startError);
        return false;
    }
    m_startError = 0;
    track->colour = track->file->colour();
    track->shown = false;
    m_current = track.get();
    m_recordedAny = false;
    m_lastFlush = m_clock.ticksMs();
    m_tracks.push_back(std::move(track));
    return true;
}

void fdTrackManager::closeTracks() {
    Threading::SdlLock lock(m_mutex);
    if (m_current != nullptr) {
        m_current->file->flush();
        const bool empty = m_current->file->recordsWritten() == 0;
        m_current->file->close();
        if (empty) {
            // REC on and off with no fix between (or none that reached the
            // disk): a bare header that no list shows would stay behind.
            const std::u16string path = pathOf(m_current->name);
            if (Platform::deleteFile(path))
                Log::log(Log::Normal, u"Track file '%s' holds no point: removed", path);
            std::erase_if(m_tracks, [this](const auto& track) { return track.get() == m_current; });
            m_current = nullptr;
        } else {
            // The recording was drawn all along: the finished track stays on
            // the map rather than vanishing when the driver stops recording.
            m_current->shown = true;
            m_current->stored = false;
        }
    }
    // Besides the track just recorded, a file is opened for writing only
    // when its flags changed: an exit rewrites no track the driver left
    // alone, so a power cut then tears none.
    for (const auto& track : m_tracks) {
        if (track->stored && track->shown == track->storedShown && track->colour == track->storedColour)
            continue;
        track->stored = Track::storeShowFlag(pathOf(track->name), track->shown, track->colour);
        track->storedColour = track->colour;
        track->storedShown = track->shown;
    }
    m_current = nullptr;
}

bool fdTrackManager::startRecording(Positioning::System& system) {
    if (isRecording()) return true;
    if (!startTrack(newTrackName(m_clock.localTime()))) return false;
    system.addListener(this);
    return true;
}

void fdTrackManager::stopRecording(Positioning::System& system) {
    if (!isRecording()) return;
    system.removeListener(this);
    closeTracks();
}

bool fdTrackManager::isRecording() const {
    Threading::SdlLock lock(m_mutex);
    return m_current != nullptr;
}

bool fdTrackManager::recordingFailed() const {
    Threading::SdlLock lock(m_mutex);
    return m_current != nullptr && m_current->file->writeFailed();
}

int fdTrackManager::recordingError() const {
    Threading::SdlLock lock(m_mutex);
    if (m_current != nullptr && m_current->file->writeFailed())
        return m_current->file->writeError();
    return m_startError;
}

float fdTrackManager::distanceMetres(Map::Point a, Map::Point b) {
    const Map::GeoPoint p = Map::Projection::toGeo(a);
    const Map::GeoPoint q = Map::Projection::toGeo(b);
    const float meanLatitude = (p.latitude + q.latitude) / 2.0f;
    const float east =
        std::cos(meanLatitude * 0.017453292f) * 6371023.0f * (p.longitude - q.longitude) * 0.017453292f;
    const float north = (p.latitude - q.latitude) * 111195.33f;
    return std::sqrt(east * east + north * north);
}

void fdTrackManager::onFix(bool valid, const Positioning::Fix& fix) {
    Track* current = m_current;
    if (current == nullptr) return;
    const std::uint32_t now = m_clock.ticksMs();
    if (!valid) {
        // No position (an empty fix when the receiver is lost): no record,
        // and no more fixes may come for a while to flush the buffer.
        current->file->flush();
        m_lastFlush = now;
        return;
    }
    bool record = !m_recordedAny;
    if (!record) {
        const int state = m_state;
        if (state == 0) {
            record = now - m_lastTime >= static_cast<std::uint32_t>(m_interval.load());
        } else if (state == 1) {
            const float metres = distanceMetres(m_lastPoint, Map::Point{fix.x, fix.y});
            record = !(metres < m_minDist.load()); // NaN records too
        } else {
            record = true;
        }
    }
    if (record) {
        current->file->append(fix);
        m_lastPoint = Map::Point{fix.x, fix.y};
        m_lastTime = now;
        m_recordedAny = true;
    }
    // A crash or a kill loses what the buffer holds: besides when it is
    // full, it goes to the disk at least every FlushIntervalMs.
    if (now - m_lastFlush >= FlushIntervalMs) {
        current->file->flush();
        m_lastFlush = now;
    }
}

std::size_t fdTrackManager::trackCount() const {
    Threading::SdlLock lock(m_mutex);
    return m_tracks.size();
}

fdTrackManager::TrackInfo fdTrackManager::track(std::size_t index) const {
    Threading::SdlLock lock(m_mutex);
    const Track& t = *m_tracks.at(index);
    return TrackInfo{t.name, t.colour, t.shown, &t == m_current, t.file->pointCount(), t.file->firstPoint(),
                     t.file->lineSize()};
}

bool fdTrackManager::setTrackColour(std::size_t index, std::uint32_t colour) {
    Threading::SdlLock lock(m_mutex);
    if (index >= m_tracks.size()) return false;
    m_tracks[index]->colour = colour;
    return true;
}

bool fdTrackManager::setTrackShown(std::size_t index, bool shown) {
    Threading::SdlLock lock(m_mutex);
    if (index >= m_tracks.size()) return false;
    m_tracks[index]->shown = shown;
    return true;
}

bool fdTrackManager::deleteTrack(std::size_t index) {
    Threading::SdlLock lock(m_mutex);
    if (index >= m_tracks.size() || m_tracks[index].get() == m_current) return false;
    Platform::deleteFile(pathOf(m_tracks[index]->name));
    m_tracks.erase(m_tracks.begin() + static_cast<std::ptrdiff_t>(index));
    return true;
}

void fdTrackManager::setState(int state) {
    m_state = state;
    m_config->set("tracker_state", state);
}

void fdTrackManager::setInterval(int milliseconds) {
    m_interval = milliseconds;
    m_config->set("tracker_interval", milliseconds);
}

void fdTrackManager::setMinDist(float metres) {
    m_minDist = metres;
    m_config->set("tracker_mindist", metres);
}

void fdTrackManager::setColor(std::uint16_t index) {
    m_color = index;
    m_config->set("tracker_color", int{index});
}

void fdTrackManager::setSize(std::uint16_t size) {
    m_size = size;
    m_config->set("tracker_size", int{size});
}

void fdTrackManager::drawTracks(TrackDrawBuffers& buffers, const xe::Canvas& canvas, MapCamera& camera) {
    Threading::SdlLock lock(m_mutex);
    for (const auto& track : m_tracks) {
        if (track.get() != m_current && !track->shown) continue;
        const TrackFile& file = *track->file;
        buffers.points.reserve(TrackFile::RingCapacity);
        TrackPainter painter(canvas, camera, file.lineSize(), track->colour, buffers.points, buffers.steps);
        file.forEachPoint([&painter](const xe::Point& p) { painter.addPoint(Map::Point{p.x, p.y}); });
        painter.flush();
    }
}

void fdTrackManager::drawTrackPoints(TrackDrawBuffers& buffers, const xe::Canvas& canvas, MapCamera& camera,
                                     std::span<const FriendTrackPoint> points, std::uint32_t colour) {
    TrackPainter painter(canvas, camera, 2, colour, buffers.points, buffers.steps);
    for (const FriendTrackPoint& p : points)
        painter.addPointAfterGap(p.segmentStart, p.point);
    painter.flush();
}
