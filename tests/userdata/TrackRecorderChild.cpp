// Records fixes into a track and then has itself killed with SIGKILL in
// the middle of the recording, as a crash or a power loss would end it.
// Arguments: the tracks folder and the number of fixes.

#include "UserDataTestSupport.h"
#include "userdata/fdTrackManager.h"

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    Core::Config config;
    config.root()->set("tracker_state", 2); // every fix
    fdTrackManager manager(FileSystem::toWide(std::string(argv[1])), config.root());
    manager.startTrack(u"killed.kvt");
    for (int i = 0; i < std::atoi(argv[2]); ++i)
        manager.onFix(true, UserDataTest::walkFix(i));
    auto killer = Platform::spawnDetached("sh", {"-c", "kill -9 $PPID"});
    if (!killer.started()) return 3;
    for (;;)
        killer.exitCode.wait(); // the signal ends the process here
}
