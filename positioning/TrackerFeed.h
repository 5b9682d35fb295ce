#pragma once
// Hands the GPS thread's fixes to a car tracker under the car state lock:
// a fix that finds no free unit (the atlas is being switched) is skipped,
// as is an invalid one.

#include "positioning/CarStateLock.h"
#include "positioning/CarTracker.h"
#include "positioning/TrackingListener.h"

namespace Positioning {

class TrackerFeed : public TrackingListener {
  public:
    TrackerFeed(CarTracker& tracker, CarStateLock& lock) : m_tracker(tracker), m_lock(lock) {}
    void onFix(bool valid, const Fix& fix) override {
        if (!valid) return;
        CarStateLock::Unit unit(m_lock);
        if (unit) m_tracker.onFix(TrackerFix::from(fix));
    }

  private:
    CarTracker& m_tracker;
    CarStateLock& m_lock;
};

} // namespace Positioning
