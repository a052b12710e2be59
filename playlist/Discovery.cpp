#include "playlist/Discovery.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>

#include "platform/Log.h"
#include "platform/Paths.h"
#include "playlist/ListFile.h"

namespace {

constexpr std::array<std::string_view, 2> kListExtensions = {".m3u", ".tsr"};

bool EqualsIgnoringAsciiCase(const std::string& a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < b.size(); ++i) {
        char c = a[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != b[i]) return false;
    }
    return true;
}

template <size_t N>
bool ExtensionIn(const std::string& path, const std::array<std::string_view, N>& table) {
    const std::string extension = ExtensionOf(path);
    if (extension.empty()) return false;
    for (std::string_view entry : table)
        if (EqualsIgnoringAsciiCase(extension, entry)) return true;
    return false;
}

std::string Join(const std::string& folder, const char* name) {
    std::string path = folder;
    if (path.empty() || path.back() != '/') path += '/';
    path += name;
    return path;
}

enum class Kind { File, Folder, LinkToFolder };

// What a listed name is, without following a symbolic link into a folder.
Kind KindOf(int folderFd, const struct dirent* entry) {
    unsigned char type = entry->d_type;
    if (type == DT_UNKNOWN) {
        struct stat st {};
        if (::fstatat(folderFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) return Kind::File;
        if (S_ISDIR(st.st_mode)) type = DT_DIR;
        else if (S_ISLNK(st.st_mode)) type = DT_LNK;
        else type = DT_REG;
    }
    if (type == DT_DIR) return Kind::Folder;
    if (type == DT_LNK) {
        struct stat target {};
        if (::fstatat(folderFd, entry->d_name, &target, 0) == 0 && S_ISDIR(target.st_mode)) return Kind::LinkToFolder;
    }
    return Kind::File;  // a file, a link to one, a dangling link, a device or a FIFO
}

// Lists `folder` once: hands its files to `collect`, queues its subfolders. Returns the
// number of names met.
int SearchFolder(const std::string& folder, std::deque<std::string>& queue,
                 const std::function<void(const std::string&)>& collect) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        if (errno != ENOTDIR && errno != ENOENT) LogLine("cannot list " + folder + ": " + std::strerror(errno));
        return 0;
    }
    const int fd = ::dirfd(dir);
    int found = 0;
    std::vector<std::string> subfolders;
    while (const struct dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
        ++found;
        switch (KindOf(fd, entry)) {
        case Kind::Folder: subfolders.push_back(Join(folder, name)); break;
        case Kind::LinkToFolder: break;  // met, but never followed
        case Kind::File: {
            std::string path = Join(folder, name);
            if (IsMediaPath(path)) collect(path);
            break;
        }
        }
    }
    ::closedir(dir);
    // Files first, then the subfolders in listing order, after everything already queued.
    for (std::string& sub : subfolders) queue.push_back(std::move(sub));
    return found;
}

}  // namespace

bool IsMediaPath(const std::string& path) { return ExtensionIn(path, kMediaExtensions); }

bool IsListFilePath(const std::string& path) { return ExtensionIn(path, kListExtensions); }

int SearchDroppedItem(const std::string& item, const std::function<void(const std::string&)>& collect) {
    int found = 0;
    std::deque<std::string> queue;
    queue.push_back(item);
    while (!queue.empty()) {
        const std::string folder = std::move(queue.front());
        queue.pop_front();
        found += SearchFolder(folder, queue, collect);
    }
    if (found == 0 && IsMediaPath(item)) {
        ++found;
        collect(item);
    }
    return found;
}

int FillFromMainWindowDrop(Playlist& playlist, const std::vector<std::string>& items) {
    playlist.ClearStore();
    std::vector<std::string> found;
    for (const std::string& item : items)
        SearchDroppedItem(item, [&found](const std::string& path) { found.push_back(path); });
    // The same order as adding each path with the sorted add (after its equals) into the
    // empty store, without moving the store's tail on every add.
    std::vector<std::pair<std::wstring, std::string>> keyed;
    keyed.reserve(found.size());
    for (std::string& path : found) keyed.emplace_back(EntrySortKey(path), std::move(path));
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& entry : keyed) playlist.InsertAt(playlist.StoreSize(), std::move(entry.second));
    playlist.SyncCount();
    if (playlist.count == 0 && !items.empty()) {
        const std::string& last = items.back();
        if (IsListFilePath(last)) {
            if (ReadListFile(last, playlist, 0) < 0) LogLine("cannot read the dropped list " + last);
        } else {
            playlist.AddSorted(last);
        }
        playlist.SyncCount();
    }
    return playlist.count;
}
