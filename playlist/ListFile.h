#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "playlist/Playlist.h"

// List files (".tsr", ".m3u" and the last list "KORU.tsr"): one absolute path per line, each
// line followed by CR LF, no header; an empty list is a file of 0 bytes.
//
// Reading: a line ends at CR LF, LF or CR. A line is an entry when it is an absolute POSIX
// path: it starts with '/' but not with "//" (a network-style name). Everything else is
// skipped: blank lines, "#EXTM3U"/"#EXTINF" lines, relative paths, lines longer than a path
// may be (kPathLimit - 1 bytes) and lines holding a NUL byte. A line keeps its raw bytes
// unless they are not UTF-8, name nothing, and their CP932 decoding names an existing file
// (NameFromStoredBytes), so a name that is not UTF-8 is written back exactly as it was read.
// A UTF-8 byte order mark at the start of the file is ignored.

inline constexpr const char* kLastListFileName = "KORU.tsr";

// Inserts the entries of list-file bytes into `playlist` in file order, at `position`,
// `position` + 1, ... (InsertAt). Returns the number inserted. `count` is not touched.
int ParseListBytes(std::string_view bytes, Playlist& playlist, int position = 0);

// Reads the list file at `path` as ParseListBytes does. Returns the number of entries
// inserted, or -1 when the file cannot be read (the store is then unchanged).
int ReadListFile(const std::string& path, Playlist& playlist, int position = 0);

// The bytes of a list file holding every entry of the store in order. An entry holding a
// line end or a NUL byte cannot be written as one line and is left out.
std::string FormatListBytes(const Playlist& playlist);

// Writes the whole store to `path` in one piece. False when the file cannot be written;
// the old file is then untouched.
bool WriteListFile(const std::string& path, const Playlist& playlist);

// The last list at start: reads folder + "KORU.tsr" into the store and sets `count`; a
// missing file is created empty unless `createMissing` is false (a player that does not own
// the folder writes nothing there). Returns false when the file exists but cannot be read or
// is not a regular file: it is left alone and that is reported on standard error.
bool LoadLastList(const std::string& folder, Playlist& playlist, bool createMissing = true);

// For a start whose list came from the command line: true when folder + "KORU.tsr" exists
// but cannot be read (reported as LoadLastList does). The file is not read.
bool LastListUnreadable(const std::string& folder);

// The store's entries, in order, folded into 64 bits. An unreadable last list is replaced at
// quit only when this differs from its value at start: the user changed the list.
uint64_t ListFingerprint(const Playlist& playlist);

// The last list at quit: writes the whole store to folder + "KORU.tsr".
bool SaveLastList(const std::string& folder, const Playlist& playlist);
