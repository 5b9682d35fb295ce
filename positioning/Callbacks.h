#pragma once
// The callback objects through which long GPS operations report back to a
// page. Their holder destroys them when the operation ends.
// (Shaped like the threading tools' callbacks; when those land in core this
// header becomes an include of theirs.)

#include <string>

namespace Threading {

class ResultCallback {
  public:
    virtual ~ResultCallback() = default;
    virtual void result(bool success) = 0;
};

class ProgressCallback : public ResultCallback {
  public:
    virtual void progress(const std::u16string& text, int percent) = 0;
};

} // namespace Threading
