#include "platform/Log.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

bool LogEnabled() {
    static const bool enabled = [] {
        const char* v = std::getenv("VELKAF_LOG");
        return v != nullptr && std::strcmp(v, "1") == 0;
    }();
    return enabled;
}

namespace {
void WriteLine(std::string_view line) {
    static std::mutex mutex;
    std::string text = "velkaf: ";
    text.append(line);
    text += '\n';
    std::lock_guard<std::mutex> lock(mutex);
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}
}  // namespace

void LogLine(std::string_view line) {
    if (LogEnabled()) WriteLine(line);
}

void ReportProblem(std::string_view line) { WriteLine(line); }
