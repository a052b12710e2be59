#include "media/TagSource.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/Log.h"

TagSource::TagSource(std::string name, long length)
    : m_name(std::move(name)), m_length(std::max(0L, length)),
      m_deadline(std::chrono::steady_clock::now() + kTagReadTime) {}

bool TagSource::Spent() {
    if (m_spent) return true;
    const char* why = m_calls >= kTagReadBudgetCalls                  ? "reads"
                      : m_bytes >= kTagReadBudgetBytes                ? "bytes"
                      : std::chrono::steady_clock::now() > m_deadline ? "time"
                                                                      : nullptr;
    if (why == nullptr) return false;
    m_spent = true;
    LogLine("tag of " + m_name + ": read stopped, its budget of " + why + " is spent");
    return true;
}

size_t TagSource::Charge(size_t n, long offset) {
    if (Spent()) return 0;
    ++m_calls;  // a read at the end counts too: a loop reading nothing must end
    if (offset < 0 || offset >= m_length) return 0;
    n = std::min({n, static_cast<size_t>(m_length - offset), static_cast<size_t>(kTagReadBudgetBytes - m_bytes)});
    m_bytes += n;
    return n;
}

size_t TagSource::Read(char* to, size_t n, long offset) { return ReadAt(to, Charge(n, offset), offset); }

size_t FileTagSource::ReadAt(char* to, size_t n, long offset) {
    size_t got = 0;
    while (got < n) {
        const ssize_t r = ::pread(m_fd, to + got, n - got, offset + static_cast<long>(got));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        got += static_cast<size_t>(r);
    }
    return got;
}

MemoryTagSource::MemoryTagSource(std::string_view bytes, const std::string& name)
    : TagSource(name, static_cast<long>(bytes.size())), m_bytes(bytes) {}

size_t MemoryTagSource::ReadAt(char* to, size_t n, long offset) {
    if (offset < 0 || static_cast<size_t>(offset) >= m_bytes.size()) return 0;
    n = std::min(n, m_bytes.size() - static_cast<size_t>(offset));
    std::memcpy(to, m_bytes.data() + offset, n);
    return n;
}
