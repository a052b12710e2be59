#include "platform/ReadProbe.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/Log.h"

namespace {

struct Probe {
    bool finished = false;  // under gMutex
    std::condition_variable done;
};

// One lock for the probes and the files whose probe is still stuck in its read.
std::mutex gMutex;
std::map<std::pair<dev_t, ino_t>, std::shared_ptr<Probe>> gStuck;

}  // namespace

bool ReadWithin(const std::string& path, int boundMs, std::function<void()> read) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        read();  // nothing there to block on: its reader says why
        return true;
    }
    // A regular file of no bytes has nothing to read; the files of /proc and /sys say so
    // too, and some of them (/proc/kmsg) serve a little, then block.
    if (S_ISREG(st.st_mode) && st.st_size == 0) return false;
    const std::pair<dev_t, ino_t> key{st.st_dev, st.st_ino};
    auto probe = std::make_shared<Probe>();
    std::unique_lock<std::mutex> lock(gMutex);
    if (gStuck.count(key) != 0) return false;
    std::thread([probe, key, read = std::move(read)] {
        read();
        std::lock_guard<std::mutex> done(gMutex);
        probe->finished = true;
        if (auto it = gStuck.find(key); it != gStuck.end() && it->second == probe) gStuck.erase(it);
        probe->done.notify_all();
    }).detach();
    if (probe->done.wait_for(lock, std::chrono::milliseconds(boundMs), [&] { return probe->finished; })) return true;
    gStuck[key] = probe;
    lock.unlock();
    LogLine(path + ": its read did not finish within " + std::to_string(boundMs) + " ms: left behind");
    return false;
}

bool FirstBytesReadable(const std::string& path, int boundMs) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return true;
    return ReadWithin(path, boundMs, [path] {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            char buffer[4096];
            (void)!::read(fd, buffer, sizeof buffer);
            ::close(fd);
        }
    });
}
