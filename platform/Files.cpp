#include "platform/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/Log.h"

std::optional<std::string> ReadWholeFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::string content;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
        content.reserve(static_cast<size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) { content.append(buffer, static_cast<size_t>(n)); continue; }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            LogLine("cannot read " + path + ": " + std::strerror(errno));
            ::close(fd);
            return std::nullopt;
        }
        break;
    }
    ::close(fd);
    return content;
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes) {
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
    std::string temp = (slash == std::string::npos ? std::string() : folder) + ".velkaf-XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        LogLine("cannot create a temporary file beside " + path + ": " + std::strerror(errno));
        return false;
    }
    auto fail = [&](const char* what) {
        LogLine(std::string(what) + " " + path + ": " + std::strerror(errno));
        ::close(fd);
        ::unlink(temp.c_str());
        return false;
    };
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return fail("cannot write");
        done += static_cast<size_t>(n);
    }
    // Readable by others like a file made with the default umask would be.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    if (::fsync(fd) != 0) return fail("cannot flush");
    if (::close(fd) != 0) {
        LogLine("cannot close " + temp + ": " + std::strerror(errno));
        ::unlink(temp.c_str());
        return false;
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        LogLine("cannot replace " + path + ": " + std::strerror(errno));
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

bool CanOpenForReading(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}
