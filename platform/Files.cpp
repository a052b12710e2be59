#include "platform/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/Log.h"

namespace {

constexpr std::string_view kTempPrefix = ".velkaf-";
constexpr size_t kTempRandomChars = 6;  // mkostemp's XXXXXX

// Opens for reading without blocking (a FIFO would wait for a writer); -1 when it fails or
// the file is not regular, with the reason in `reason`. `st` receives the open file's status.
int OpenRegularForReading(const std::string& path, std::string& reason, struct stat& st) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        reason = std::strerror(errno);
        return -1;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        reason = "not a regular file";
        ::close(fd);
        return -1;
    }
    return fd;
}

bool IsTempName(std::string_view name) {
    if (name.size() != kTempPrefix.size() + kTempRandomChars || !name.starts_with(kTempPrefix)) return false;
    for (const char c : name.substr(kTempPrefix.size()))
        if (!std::isalnum(static_cast<unsigned char>(c))) return false;
    return true;
}

// True when the regular file `path` (of status `st`) holds exactly `bytes`: a save that would
// change nothing is then left out (a rewrite costs a flush to disk, most of a quit's time).
bool HoldsExactly(const std::string& path, const struct stat& st, std::string_view bytes) {
    if (!S_ISREG(st.st_mode) || static_cast<uint64_t>(st.st_size) != bytes.size()) return false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    char buffer[65536];
    size_t done = 0;
    bool same = true;
    while (same) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        const size_t got = static_cast<size_t>(n);
        same = done + got <= bytes.size() && std::memcmp(buffer, bytes.data() + done, got) == 0;
        done += got;
    }
    ::close(fd);
    return same && done == bytes.size();
}

}  // namespace

std::optional<std::string> ReadWholeFile(const std::string& path) {
    std::string reason;
    struct stat st {};
    const int fd = OpenRegularForReading(path, reason, st);
    if (fd < 0) {
        LogLine("cannot read " + path + ": " + reason);
        return std::nullopt;
    }
    std::string content;
    if (st.st_size > 0) content.reserve(static_cast<size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            content.append(buffer, static_cast<size_t>(n));
            continue;
        }
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

FileState ProbeFile(const std::string& path, std::string* reason) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 && errno == ENOENT) return FileState::Missing;
    std::string why;
    const int fd = OpenRegularForReading(path, why, st);
    if (fd < 0) {
        if (reason != nullptr) *reason = why;
        return FileState::Unreadable;
    }
    ::close(fd);
    return FileState::Readable;
}

bool CanOpenForReading(const std::string& path) { return ProbeFile(path) == FileState::Readable; }

bool WriteFileAtomically(const std::string& named, std::string_view bytes) {
    // A symbolic link stays a link: its final target is replaced, in the target's own folder
    // (a rename across file systems would fail). A link to nothing is left alone.
    std::string path = named;
    struct stat link {};
    if (::lstat(named.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
        char* resolved = ::realpath(named.c_str(), nullptr);
        if (resolved == nullptr) {
            LogLine(named + " is a link whose target cannot be reached (" + std::strerror(errno) + "); not replaced");
            return false;
        }
        path = resolved;
        std::free(resolved);
    }
    struct stat target {};
    if (::stat(path.c_str(), &target) == 0 && !S_ISREG(target.st_mode)) {
        LogLine(path + " is not a regular file; not replaced");
        return false;
    }
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    // Only where the save could be made: an unwritable folder is reported as a failed save.
    if (::faccessat(AT_FDCWD, folder.empty() ? "." : folder.c_str(), W_OK, AT_EACCESS) == 0 &&
        HoldsExactly(path, target, bytes))
        return true;
    std::string temp;
    int fd = -1;
    // A cleaner at another player's start may remove the file between its creation and the
    // lock (it was not locked yet); then it is made again.
    for (int attempt = 0; attempt < 3 && fd < 0; ++attempt) {
        temp = folder + std::string(kTempPrefix) + "XXXXXX";
        fd = ::mkostemp(temp.data(), O_CLOEXEC);
        if (fd < 0) {
            LogLine("cannot create a temporary file beside " + path + ": " + std::strerror(errno));
            return false;
        }
        struct stat st {};
        if (::flock(fd, LOCK_EX) == 0 && ::fstat(fd, &st) == 0 && st.st_nlink == 0) {
            ::close(fd);
            fd = -1;
        }
    }
    if (fd < 0) {
        LogLine("cannot keep a temporary file beside " + path);
        return false;
    }
    auto fail = [&](const char* what) {
        LogLine(std::string(what) + " " + path + ": " + std::strerror(errno));
        ::unlink(temp.c_str());
        ::close(fd);
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
    // Renamed while still locked, so no cleaner takes it for a leftover; the data is on disk,
    // so closing afterwards cannot lose it.
    if (::rename(temp.c_str(), path.c_str()) != 0) return fail("cannot replace");
    ::close(fd);
    return true;
}

int RemoveStaleTempFiles(const std::string& folder) {
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) return 0;
    int removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (!IsTempName(entry->d_name)) continue;
        const std::string path = folder + entry->d_name;
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat opened {
        }, named{};
        // Unlocked means its writer is gone; the name must still be the file that was checked.
        if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            ::lstat(path.c_str(), &named) == 0 && named.st_ino == opened.st_ino && named.st_dev == opened.st_dev &&
            ::unlink(path.c_str()) == 0) {
            ++removed;
            LogLine("removed the temporary file of an unfinished save: " + path);
        }
        ::close(fd);
    }
    ::closedir(dir);
    return removed;
}

FolderLock::FolderLock(const std::string& folder, int waitMs) {
    m_fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_fd < 0) {
        LogLine("cannot open " + folder + " to lock it: " + std::strerror(errno));
        return;
    }
    // A save takes milliseconds: poll rather than block, so a hung peer cannot hold us.
    for (int waited = 0; !(m_held = ::flock(m_fd, LOCK_EX | LOCK_NB) == 0); waited += 10) {
        if (errno != EWOULDBLOCK || waited >= waitMs) {
            LogLine("cannot lock " + folder + ": saving without the lock");
            return;
        }
        ::usleep(10000);
    }
}

FolderLock::~FolderLock() {
    if (m_fd >= 0) ::close(m_fd);  // closing releases the lock
}
