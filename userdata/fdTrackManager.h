#pragma once
// The stored tracks of the tracks folder and the recording of the current
// one. The GPS thread hands fixes to onFix while a recording runs (the
// manager is a tracking listener of Positioning::System only then); every
// other operation runs on the main thread under the manager's mutex.
//
// Lock order: the manager's mutex, then a track's. onFix takes no manager
// lock: startTrack completes before the manager is added as a listener and
// closeTracks runs only after it was removed (removal waits for a fan-out in
// progress), which startRecording and stopRecording keep.

#include "core/ConfigNode.h"
#include "core/SdlMutex.h"
#include "map/Point.h"
#include "positioning/Clock.h"
#include "positioning/TrackingListener.h"
#include "render/Canvas.h"
#include "userdata/TrackFile.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

class MapCamera;

namespace Positioning {
class System;
}

// Scratch buffers of the track drawing, owned by the map page and reused
// from frame to frame so that drawing allocates nothing once they have grown.
struct TrackDrawBuffers {
    std::vector<xe::Point> points;
    std::vector<std::int64_t> steps;
};

// One point of a friend's received track.
struct FriendTrackPoint {
    bool segmentStart = false; // a gap in the recording lies before it
    Map::Point point;
};

class fdTrackManager : public Positioning::TrackingListener {
  public:
    struct Track {
        std::u16string name; // file name without the folder
        std::uint32_t colour = 0;
        bool shown = false;
        std::unique_ptr<TrackFile> file;
        // What the file's header holds, so that closeTracks rewrites only
        // the files whose colour or shown flag changed.
        std::uint32_t storedColour = 0;
        bool storedShown = false;
        bool stored = false;

        // Rewrites the colour and shown flag of a stored file in place.
        // False (logged when the file cannot be opened) on failure.
        static bool storeShowFlag(const std::u16string& path, bool shown, std::uint32_t colour);
    };
    // What the track pages show of an entry.
    struct TrackInfo {
        std::u16string name;
        std::uint32_t colour = 0;
        bool shown = false;
        bool recording = false;
        std::uint32_t pointCount = 0;
        xe::Point firstPoint;
        std::uint16_t lineSize = 1;
    };

    // The longest a recorded fix waits in the file's buffer (wall time): a
    // crash loses at most this much of a recording.
    static constexpr std::uint32_t FlushIntervalMs = 5000;

    // Reads the five settings (creating missing keys) and scans the folder.
    // Throws std::runtime_error("Can't create track manager mutex").
    fdTrackManager(std::u16string folder, Core::ConfigNodePtr config,
                   Positioning::Clock& clock = Positioning::systemClock());
    // Ends a recording and stores what changed of the tracks (closeTracks).
    ~fdTrackManager() override;
    fdTrackManager(const fdTrackManager&) = delete;
    fdTrackManager& operator=(const fdTrackManager&) = delete;

    // Lists the "*.kvt" files holding at least one point, in the order of
    // the directory listing (a recording that a crash left unclosed gets
    // its header filled in and is shown; a track file without a whole
    // point, and an empty file, is removed); creates the folder when none
    // is listed.
    void scanFolder();

    // "YYYYMMDD-hhmmss.kvt" of the local time, with "-2", "-3" ... before
    // the extension while a file or an entry of that name exists, so a new
    // recording never truncates an earlier one.
    std::u16string newTrackName(const Positioning::DateTime& localTime) const;
    // Begins recording into a new file of that name in the folder. False,
    // logged and nothing recording, when the file cannot be created.
    bool startTrack(const std::u16string& name);
    // Ends the recording and stores the colour and shown flag of every
    // track whose file holds others; the rest are not touched. A recording
    // that wrote no point leaves no file and no entry.
    void closeTracks();
    // The map page's start and stop: a new track named after the clock's
    // local time, then listening to the system; and the reverse. Each does
    // nothing when already in that state. startRecording is false when the
    // track file cannot be created.
    bool startRecording(Positioning::System& system);
    void stopRecording(Positioning::System& system);
    bool isRecording() const;
    // The recording lost points it could not write (a full disk); the map
    // page then stops it and tells the driver.
    bool recordingFailed() const;
    // The system's error number of the last failed start or write (0 when
    // none), for the driver's notice.
    int recordingError() const;

    // The recording rule; GPS thread. A fix that is not valid (the receiver
    // lost its fix or went away) is never recorded: it writes out what the
    // buffer holds instead.
    void onFix(bool valid, const Positioning::Fix& fix) override;

    std::size_t trackCount() const;
    // index < trackCount().
    TrackInfo track(std::size_t index) const;
    // These change the entry only; the file receives it at the next
    // closeTracks. False for an index out of range.
    bool setTrackColour(std::size_t index, std::uint32_t colour);
    bool setTrackShown(std::size_t index, bool shown);
    // Deletes the file and the entry; false for an index out of range or
    // the track being recorded.
    bool deleteTrack(std::size_t index);

    // Each stores the value and writes its key; colour and size apply to
    // tracks started afterwards.
    void setState(int state);
    void setInterval(int milliseconds);
    void setMinDist(float metres);
    void setColor(std::uint16_t index);
    void setSize(std::uint16_t size);
    int state() const { return m_state; }
    int interval() const { return m_interval; }
    float minDist() const { return m_minDist; }
    std::uint16_t color() const { return m_color; }
    std::uint16_t size() const { return m_size; }

    // The map page calls the two drawing operations only while the map
    // view's track layer is on.
    // Draws the track being recorded and every shown track.
    void drawTracks(TrackDrawBuffers& buffers, const xe::Canvas& canvas, MapCamera& camera);
    // Draws one friend's received track, 2 pixels wide; the caller holds
    // the lock of the collector the points come from.
    static void drawTrackPoints(TrackDrawBuffers& buffers, const xe::Canvas& canvas, MapCamera& camera,
                                std::span<const FriendTrackPoint> points, std::uint32_t colour);

    // Metres between two map points, as the distance rule measures them.
    static float distanceMetres(Map::Point a, Map::Point b);

  private:
    std::u16string pathOf(const std::u16string& name) const { return m_folder + name; }

    std::u16string m_folder; // ends in a separator
    Core::ConfigNodePtr m_config;
    Positioning::Clock& m_clock;
    mutable Threading::SdlMutex m_mutex;
    std::vector<std::unique_ptr<Track>> m_tracks;
    Track* m_current = nullptr;
    Map::Point m_lastPoint;
    std::uint32_t m_lastTime = 0;
    std::uint32_t m_lastFlush = 0;
    bool m_recordedAny = false;
    int m_startError = 0;
    // Read on the GPS thread, written by the settings page.
    std::atomic<int> m_state;
    std::atomic<int> m_interval;
    std::atomic<float> m_minDist;
    std::uint16_t m_color;
    std::uint16_t m_size;
};
