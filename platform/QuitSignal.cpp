#include "platform/QuitSignal.h"

#include <csignal>

namespace {
volatile std::sig_atomic_t g_quitSignal = 0;

extern "C" void OnQuitSignal(int) { g_quitSignal = 1; }
}  // namespace

void InstallQuitSignalHandlers() {
    struct sigaction action {};
    action.sa_handler = OnQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

bool QuitSignalReceived() { return g_quitSignal != 0; }
