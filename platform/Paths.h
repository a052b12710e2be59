#pragma once
#include <string>

// POSIX paths: separator '/', drive always empty, folder = up to and including the last '/'.

// The folder of `path` including its trailing '/'; empty when there is no '/'.
std::string FolderOf(const std::string& path);
// The name after the last '/'.
std::string FileNameOf(const std::string& path);
// The extension of the file name including its dot (".mp3"); empty when it has none.
std::string ExtensionOf(const std::string& path);
// True for a path that starts with '/'.
bool IsAbsolutePath(const std::string& path);
// Makes `path` absolute against `base` (a folder); an absolute path is returned unchanged.
std::string MakeAbsolute(const std::string& path, const std::string& base);

// Changes the current folder one prefix at a time: "/", then "/a", then "/a/b" ... (each
// prefix ending just before a '/' or at the end). Stops at the first change that fails, so
// the current folder ends at the deepest prefix that exists. An empty or relative path
// changes nothing. Returns the number of successful changes.
int ChangeFolderByPrefixes(const std::string& path);

// The system's limit on a path's length in bytes, terminator included.
constexpr size_t kPathLimit = 4096;
