#include "app/CommandLine.h"

#include <sys/stat.h>

#include <cstdio>

#include "platform/Paths.h"

namespace {
bool Exists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0;
}
}  // namespace

CommandLineItems ClassifyCommandLine(const std::vector<std::string>& arguments, const std::string& startFolder) {
    CommandLineItems result;
    if (arguments.empty()) return result;
    std::string joined;
    for (size_t i = 0; i < arguments.size(); ++i) {
        if (i > 0) joined += ' ';
        joined += arguments[i];
    }
    joined = MakeAbsolute(joined, startFolder);
    if (Exists(joined)) {
        result.items.push_back(joined);
        return result;
    }
    for (const std::string& argument : arguments) {
        const std::string path = MakeAbsolute(argument, startFolder);
        if (Exists(path)) result.items.push_back(path);
        else result.namingNothing.push_back(argument);
    }
    return result;
}

void ReportArgumentsNamingNothing(const CommandLineItems& commandLine) {
    for (const std::string& argument : commandLine.namingNothing)
        std::fprintf(stderr, "velkaf: %s: no such file or folder; left out of the playlist\n", argument.c_str());
}
