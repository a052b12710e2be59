#include "media/TagSource.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/Log.h"

TagSource::TagSource(std::string name, long length)
    : name_(std::move(name)), length_(std::max(0L, length)),
      deadline_(std::chrono::steady_clock::now() + kTagReadTime) {}

bool TagSource::Spent() {
    if (spent_) return true;
    const char* why = calls_ >= kTagReadBudgetCalls                  ? "reads"
                      : bytes_ >= kTagReadBudgetBytes                ? "bytes"
                      : std::chrono::steady_clock::now() > deadline_ ? "time"
                                                                     : nullptr;
    if (why == nullptr) return false;
    spent_ = true;
    LogLine("tag of " + name_ + ": read stopped, its budget of " + why + " is spent");
    return true;
}

size_t TagSource::Charge(size_t n, long offset) {
    if (Spent()) return 0;
    ++calls_;  // a read at the end counts too: a loop reading nothing must end
    if (offset < 0 || offset >= length_) return 0;
    n = std::min({n, static_cast<size_t>(length_ - offset), static_cast<size_t>(kTagReadBudgetBytes - bytes_)});
    bytes_ += n;
    return n;
}

size_t TagSource::Read(char* to, size_t n, long offset) { return ReadAt(to, Charge(n, offset), offset); }

size_t FileTagSource::ReadAt(char* to, size_t n, long offset) {
    size_t got = 0;
    while (got < n) {
        const ssize_t r = ::pread(fd_, to + got, n - got, offset + static_cast<long>(got));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        got += static_cast<size_t>(r);
    }
    return got;
}

MemoryTagSource::MemoryTagSource(std::string_view bytes, const std::string& name)
    : TagSource(name, static_cast<long>(bytes.size())), bytes_(bytes) {}

size_t MemoryTagSource::ReadAt(char* to, size_t n, long offset) {
    if (offset < 0 || static_cast<size_t>(offset) >= bytes_.size()) return 0;
    n = std::min(n, bytes_.size() - static_cast<size_t>(offset));
    std::memcpy(to, bytes_.data() + offset, n);
    return n;
}
