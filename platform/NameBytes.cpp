#include "platform/NameBytes.h"

#include <sys/stat.h>

#include "platform/Text.h"

namespace {
bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}
}  // namespace

std::string NameFromStoredBytes(std::string_view raw, const std::string& folder) {
    std::string name(raw);
    // UTF-8 decodes to itself: nothing to look up.
    if (IsValidUtf8(raw) || Exists(folder + name)) return name;
    std::string decoded = OutsideTextToUtf8(raw);
    return Exists(folder + decoded) ? decoded : name;
}
