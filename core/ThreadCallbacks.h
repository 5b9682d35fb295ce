#pragma once
// Callbacks through which a long task reports back to the page that started
// it. They are called on the task's thread; the receiver does its own
// locking and leaves drawing to the interface thread.

#include <string>

namespace Threading {

class ResultCallback {
  public:
    virtual ~ResultCallback() = default;
    virtual void result(bool success) = 0;
};

class ProgressCallback : public ResultCallback {
  public:
    virtual void progress(const std::u16string& text, int value) = 0;
};

} // namespace Threading
