#pragma once

#include "positioning/Fix.h"

namespace Positioning {

// Receives every new fix, on the GPS thread. When `valid` is false the
// record must not be used.
class TrackingListener {
  public:
    virtual ~TrackingListener() = default;
    virtual void onFix(bool valid, const Fix& fix) = 0;
};

} // namespace Positioning
