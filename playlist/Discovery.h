#pragma once
#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "playlist/Playlist.h"

// Media discovery in dropped files and folders.
//
// A dropped file is taken when its extension is in the media table; a dropped folder is
// searched breadth first through all its subfolders: each folder's files (in the order the
// file system lists them) before its subfolders, level by level. Symbolic links met inside
// the search are never followed into folders (a loop would never end); a link to a file
// counts as a file. Folders that cannot be listed are skipped. Paths are kept whole.

// The media table, in this order: the eleven formats the player has always taken, then
// today's audio and video containers. Everything that takes media files (dropped folders, the editor's drop, the
// desktop entry's file types) takes this list. Compared without regard to ASCII case.
inline constexpr std::array<std::string_view, 28> kMediaExtensions = {
    ".mpg",  ".avi", ".mov", ".mp3", ".rmp", ".dat", ".asf",  ".wav", ".mpeg", ".ra",   ".wma", ".mp4", ".m4v", ".mkv",
    ".webm", ".wmv", ".flv", ".ogv", ".m4a", ".aac", ".flac", ".ogg", ".oga",  ".opus", ".mka", ".ape", ".wv",  ".mp2"};
bool IsMediaPath(const std::string& path);
// List files the main window reads: ".m3u" and ".tsr", compared the same way.
bool IsListFilePath(const std::string& path);

// Searches one dropped item and hands every media path found to `collect`, in discovery
// order. When the search meets no name at all (a file, an empty folder, a path that cannot
// be listed) the item itself is handed over if its own extension is in the media table.
// Returns the found counter: the names met (files and subfolders alike, "." and ".."
// excluded), plus one when the item itself was taken.
int SearchDroppedItem(const std::string& item, const std::function<void(const std::string&)>& collect);

// The main window's drop: empties the store, adds every media path found in `items` (in
// their order) sorted by full path, case ignored, as the sorted add does. When that finds
// nothing, the last item is read as a list file when its extension is ".m3u" or ".tsr"
// (entries in file order), and is otherwise added itself whatever its extension. Sets
// `count` from the store; returns it.
int FillFromMainWindowDrop(Playlist& playlist, const std::vector<std::string>& items);
