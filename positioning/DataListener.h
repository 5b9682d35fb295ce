#pragma once

#include <cstdint>

namespace Positioning {

// Receives, on the GPS thread, every checksummed sentence read from the
// port and the changes of the port's state.
class DataListener {
  public:
    virtual ~DataListener() = default;
    // `text` is NUL-terminated at `length`; valid only during the call.
    virtual void onData(const char* text, std::uint32_t length) = 0;
    virtual void enabledChanged(bool enabled) = 0;
    virtual void portStateChanged(bool open) = 0;
    // The sentences of one read of the port come between these two calls
    // (readEnds follows even when a listener throws); the changes of state
    // come outside them. A listener that guards its state with a lock of
    // its own may take it once per read rather than once per sentence.
    virtual void readBegins() {}
    virtual void readEnds() {}
};

} // namespace Positioning
