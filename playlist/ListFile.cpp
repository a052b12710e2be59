#include "playlist/ListFile.h"

#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/NameBytes.h"
#include "platform/Paths.h"

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool IsEntryLine(std::string_view line) {
    if (line.empty() || line[0] != '/') return false;
    if (line.size() >= 2 && line[1] == '/') return false;
    if (line.size() >= kPathLimit) return false;
    return line.find('\0') == std::string_view::npos;
}

bool CanBeWrittenAsLine(const std::string& entry) {
    // Without an early exit the loop vectorises; entries are short.
    bool lineEnd = false;
    for (const char c : entry) lineEnd |= (c == '\r') | (c == '\n') | (c == '\0');
    return !lineEnd;
}

}  // namespace

int ParseListBytes(std::string_view bytes, Playlist& playlist, int position) {
    if (position < 0 || position > playlist.StoreSize()) position = playlist.StoreSize();
    size_t p = bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom ? kUtf8Bom.size() : 0;
    // The next LF is searched once and kept, so a file of CR-only lines stays linear.
    size_t nextLf = 0;
    bool lfKnown = false;
    int inserted = 0;
    while (p < bytes.size()) {
        // CR, LF and CR LF all end a line; the LF of a CR LF then ends an empty line, which
        // is skipped like every line that is not an entry.
        if (!lfKnown || nextLf < p) {
            nextLf = bytes.find('\n', p);
            if (nextLf == std::string_view::npos) nextLf = bytes.size();
            lfKnown = true;
        }
        size_t end = bytes.substr(p, nextLf - p).find('\r');
        end = end == std::string_view::npos ? nextLf : p + end;
        const std::string_view line = bytes.substr(p, end - p);
        p = end + 1;
        if (!IsEntryLine(line)) continue;
        std::string entry = NameFromStoredBytes(line);
        // Decoding CP932 can lengthen a line past the limit.
        if (entry.size() >= kPathLimit) continue;
        playlist.InsertAt(position + inserted, std::move(entry));
        ++inserted;
    }
    return inserted;
}

int ReadListFile(const std::string& path, Playlist& playlist, int position) {
    const std::optional<std::string> bytes = ReadWholeFile(path);
    if (!bytes) {
        LogLine("cannot read list file " + path);
        return -1;
    }
    return ParseListBytes(*bytes, playlist, position);
}

std::string FormatListBytes(const Playlist& playlist) {
    size_t size = 0;
    for (const std::string& entry : playlist.Entries()) size += entry.size() + 2;
    std::string out;
    out.reserve(size);
    for (const std::string& entry : playlist.Entries()) {
        if (!CanBeWrittenAsLine(entry)) {
            LogLine("entry with a line end left out of the list file: " + entry);
            continue;
        }
        out += entry;
        out += "\r\n";
    }
    return out;
}

bool WriteListFile(const std::string& path, const Playlist& playlist) {
    return WriteFileAtomically(path, FormatListBytes(playlist));
}

namespace {
// False (and said so) when the last list exists but cannot be read.
bool LastListUsable(const std::string& path, FileState state, const std::string& reason) {
    if (state != FileState::Unreadable) return true;
    ReportProblem(path + " cannot be read (" + reason +
                  "); it is kept as it is and replaced at quit only if the list changes");
    return false;
}
}  // namespace

bool LoadLastList(const std::string& folder, Playlist& playlist, bool createMissing) {
    const std::string path = folder + kLastListFileName;
    std::string reason;
    const FileState state = ProbeFile(path, &reason);
    if (state == FileState::Missing && createMissing) WriteFileAtomically(path, {});
    if (state == FileState::Readable && ReadListFile(path, playlist, 0) < 0) {
        playlist.SyncCount();
        return LastListUsable(path, FileState::Unreadable, "read error");
    }
    playlist.SyncCount();
    return LastListUsable(path, state, reason);
}

bool LastListUnreadable(const std::string& folder) {
    const std::string path = folder + kLastListFileName;
    std::string reason;
    return !LastListUsable(path, ProbeFile(path, &reason), reason);
}

uint64_t ListFingerprint(const Playlist& playlist) {
    // FNV-1a over every entry and a separator no entry holds.
    uint64_t hash = 14695981039346656037ull;
    auto mix = [&hash](unsigned char c) { hash = (hash ^ c) * 1099511628211ull; };
    for (const std::string& entry : playlist.Entries()) {
        for (const char c : entry) mix(static_cast<unsigned char>(c));
        mix('\n');
    }
    return hash;
}

bool SaveLastList(const std::string& folder, const Playlist& playlist) {
    return WriteListFile(folder + kLastListFileName, playlist);
}
