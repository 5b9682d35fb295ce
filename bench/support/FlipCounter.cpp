// The frames a running program shows, counted from outside for the benchmark
// scripts: preloaded into the program (LD_PRELOAD), this library stands in
// front of SDL_Flip and keeps the number of calls in the first eight bytes
// of the file named by MIREL_FLIP_COUNT, mapped shared, so that a script
// reads the count at any moment (od -An -t u8 -N8 FILE) without stopping
// the program or adding a system call to its frames. Without the variable,
// or when the file cannot be mapped, it only passes the calls on.

#include <SDL/SDL.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>

namespace {

using FlipFunction = int (*)(SDL_Surface*);

std::atomic<std::uint64_t>* mapCount() {
    const char* path = std::getenv("MIREL_FLIP_COUNT");
    if (path == nullptr)
        return nullptr;
    const int fd = open(path, O_RDWR | O_CREAT, 0644);
    if (fd < 0)
        return nullptr;
    void* page = MAP_FAILED;
    if (ftruncate(fd, sizeof(std::uint64_t)) == 0)
        page = mmap(nullptr, sizeof(std::uint64_t), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    close(fd);
    return page == MAP_FAILED ? nullptr : static_cast<std::atomic<std::uint64_t>*>(page);
}

} // namespace

extern "C" int SDL_Flip(SDL_Surface* screen) {
    static const auto real = reinterpret_cast<FlipFunction>(dlsym(RTLD_NEXT, "SDL_Flip"));
    static std::atomic<std::uint64_t>* const count = mapCount();
    if (count != nullptr)
        count->fetch_add(1, std::memory_order_relaxed);
    return real != nullptr ? real(screen) : -1;
}
