#include "platform/QuitSignal.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/Log.h"

namespace {
volatile std::sig_atomic_t g_quitSignal = 0;
// The self-pipe: [0] read by the event loop, [1] written by the handler. Both non-blocking,
// so a full pipe (signals arriving faster than they are read) never blocks the handler.
int g_pipe[2] = {-1, -1};

extern "C" void OnQuitSignal(int) {
    const int saved = errno;  // the interrupted code may be about to read errno
    g_quitSignal = 1;
    if (g_pipe[1] >= 0) {
        const char byte = 'q';
        [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    }
    errno = saved;
}
}  // namespace

void InstallQuitSignalHandlers() {
    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        g_pipe[0] = g_pipe[1] = -1;
        LogLine("no pipe for the quit signals: they wait for the next tick");
    }
    struct sigaction action {};
    action.sa_handler = OnQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

bool QuitSignalReceived() { return g_quitSignal != 0; }

int QuitSignalFd() { return g_pipe[0]; }

void DrainQuitSignalFd() {
    if (g_pipe[0] < 0) return;
    char buffer[64];
    while (::read(g_pipe[0], buffer, sizeof buffer) > 0) {}
}

void EndProcessWithin(int ms, int code) {
    std::thread([ms, code] {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        LogLine("the quit waited " + std::to_string(ms) + " ms for the media engine: ending without it");
        std::fflush(nullptr);
        std::_Exit(code);
    }).detach();
}
