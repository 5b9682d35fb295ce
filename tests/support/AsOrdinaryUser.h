#pragma once
// Runs a piece of a test as an ordinary user would meet the file system:
// root reads and lists whatever the mode bits say, so under root the work
// runs on a thread that gives up root's file access (its file-system user
// and group become "nobody"); under any other user it runs as it is.

#include <functional>

namespace TestSupport {

void asOrdinaryUser(const std::function<void()>& work);

} // namespace TestSupport
