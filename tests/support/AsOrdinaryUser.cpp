#include "tests/support/AsOrdinaryUser.h"

#include <sys/fsuid.h>
#include <unistd.h>

#include <thread>

namespace TestSupport {

void asOrdinaryUser(const std::function<void()>& work) {
    if (::geteuid() != 0) {
        work();
        return;
    }
    // The file-system ids belong to the calling thread only.
    std::thread([&] {
        ::setfsgid(65534);
        ::setfsuid(65534);
        work();
    }).join();
}

} // namespace TestSupport
