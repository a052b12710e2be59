#include "settings/dialog/BackgroundFiles.h"

#include <dirent.h>
#include <sys/stat.h>

#include "platform/Log.h"

namespace {
bool EndsInBmp(const std::string& name) {
    if (name.size() < 4) return false;
    const char* tail = name.data() + name.size() - 4;
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return tail[0] == '.' && lower(tail[1]) == 'b' && lower(tail[2]) == 'm' && lower(tail[3]) == 'p';
}
}  // namespace

std::vector<std::string> ListBackgroundFiles(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        if (LogEnabled()) LogLine("settings dialog: no background folder " + folder);
        return names;
    }
    const int fd = ::dirfd(dir);
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (!EndsInBmp(name) || name.find_first_of("\r\n") != std::string::npos) continue;
        struct stat info {};
        // Follows links: a link to a picture counts, a link to a folder or to nothing does not.
        if (::fstatat(fd, entry->d_name, &info, 0) != 0 || !S_ISREG(info.st_mode)) continue;
        names.push_back(name);
    }
    ::closedir(dir);
    return names;
}
