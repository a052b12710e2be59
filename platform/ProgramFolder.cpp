#include "platform/ProgramFolder.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/Paths.h"

#ifndef VELKAF_DATA_DIR
#define VELKAF_DATA_DIR "/usr/local/share/velkaf"
#endif

namespace {

bool MakeFolders(const std::string& folder) {
    for (size_t i = 1; i <= folder.size(); ++i) {
        if (i < folder.size() && folder[i] != '/') continue;
        const std::string prefix = folder.substr(0, i);
        if (::mkdir(prefix.c_str(), 0755) != 0 && errno != EEXIST) {
            LogLine("cannot create " + prefix + ": " + std::strerror(errno));
            return false;
        }
    }
    return true;
}

std::string WithSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

// The data folder of an installed player, found from the executable (prefix/bin/velkaf beside
// prefix/share/velkaf/), so an install into any prefix finds its own.
std::string InstalledDataFolder() { return ExecutableFolder() + "../share/velkaf/"; }

// Copies the template into `folder` when it has none, from the first place that has one.
void ProvideTemplate(const std::string& folder) {
    if (CanOpenForReading(folder + "KORU.sys")) return;
    for (const std::string& source : {ExecutableFolder() + "KORU.sys", InstalledDataFolder() + "KORU.sys",
                                      std::string(VELKAF_DATA_DIR "/KORU.sys")}) {
        if (auto bytes = ReadWholeFile(source)) {
            WriteFileAtomically(folder + "KORU.sys", *bytes);
            return;
        }
    }
    LogLine("no KORU.sys template found for " + folder);
}

std::string FindProgramFolder() {
    if (const char* home = std::getenv("VELKAF_HOME"); home != nullptr && *home != '\0') {
        char* cwd = ::getcwd(nullptr, 0);
        const std::string folder = WithSlash(MakeAbsolute(home, cwd != nullptr ? cwd : "/"));
        std::free(cwd);
        MakeFolders(folder);
        ProvideTemplate(folder);
        return folder;
    }
    // A build tree or a portable folder keeps its files beside the program; an installed
    // player never writes into its prefix, even a writable one such as ~/.local.
    const std::string exeFolder = ExecutableFolder();
    const bool installed = CanOpenForReading(InstalledDataFolder() + "KORU.sys");
    if (!installed && !exeFolder.empty() && ::access(exeFolder.c_str(), W_OK) == 0) return exeFolder;

    std::string config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/') {
        config = WithSlash(xdg);
    } else if (const char* h = std::getenv("HOME"); h != nullptr && h[0] == '/') {
        config = WithSlash(h) + ".config/";
    } else {
        config = "/tmp/";
    }
    const std::string folder = config + "velkaf/";
    MakeFolders(folder);
    ProvideTemplate(folder);
    return folder;
}

}  // namespace

std::string ExecutableFolder() {
    std::string buffer(kPathLimit, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0) return {};
    buffer.resize(static_cast<size_t>(n));
    return FolderOf(buffer);
}

const std::string& ProgramFolder() {
    static const std::string folder = FindProgramFolder();
    return folder;
}

namespace {
// The claim's descriptor, kept open until the claim is released: closing it releases the lock.
int gOwnerLockFd = -1;
}  // namespace

bool ClaimProgramFolder(const std::string& folder) {
    const std::string path = folder + kOwnerLockFileName;
    int& fd = gOwnerLockFd;
    if (fd < 0) fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        LogLine("cannot open " + path + ": " + std::strerror(errno) + "; the folder is taken as this player's");
        return true;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
    if (errno == EWOULDBLOCK) return false;
    LogLine("cannot lock " + path + ": " + std::strerror(errno) + "; the folder is taken as this player's");
    return true;
}

void ReleaseProgramFolder() {
    if (gOwnerLockFd < 0) return;
    ::close(gOwnerLockFd);
    gOwnerLockFd = -1;
}
