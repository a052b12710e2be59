#include "platform/Paths.h"

#include <unistd.h>

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string FileNameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ExtensionOf(const std::string& path) {
    const std::string name = FileNameOf(path);
    const size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

bool IsAbsolutePath(const std::string& path) { return !path.empty() && path[0] == '/'; }

std::string MakeAbsolute(const std::string& path, const std::string& base) {
    if (path.empty() || IsAbsolutePath(path)) return path;
    std::string result = base;
    if (result.empty() || result.back() != '/') result += '/';
    return result + path;
}

int ChangeFolderByPrefixes(const std::string& path) {
    if (!IsAbsolutePath(path)) return 0;
    if (::chdir("/") != 0) return 0;
    int changes = 1;
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '/') continue;
        if (path[i - 1] == '/') continue;  // "//" or the trailing '/': no new component
        if (::chdir(path.substr(0, i).c_str()) != 0) break;
        ++changes;
    }
    return changes;
}
