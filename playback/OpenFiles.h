#pragma once
#include <string>
#include <vector>

#include "playback/PlaybackContext.h"

// The main window's drop: replaces the playlist with the media found in `items` (absolute
// paths, in the order the drop gives them), sorted by full path; when none is found, reads
// the last item as a list file (".m3u", ".tsr") or takes it alone. Then plays the first
// entry. Ignored (returns false) while the playlist editor exists or a long operation runs.
bool DropOnMainWindow(PlaybackContext& context, const std::vector<std::string>& items);
// The same replacement and play without the checks: a later start's hand-over, which is
// carried out also while the editor is open (the editor then shows the new list).
void ReplaceListAsDrop(PlaybackContext& context, const std::vector<std::string>& items);

// The open-file dialog's filter: one filter, every file (so every media table entry and both
// list types are offered, and a file is taken whatever its extension); and the extension a
// typed name without one gets.
inline constexpr const char* kOpenFileFilter = "Filename (*)";
inline constexpr const char* kOpenFileDefaultSuffix = "tsr";

// After the user chose `path` in the main window's open-file dialog: closes the device,
// replaces the playlist with the list file's entries (".m3u", ".tsr", case ignored) or with
// the chosen file alone, whatever its extension, and plays the first entry. A list that
// cannot be read leaves the playlist empty and the device closed.
void OpenChosenFile(PlaybackContext& context, const std::string& path);
