#pragma once
#include <optional>
#include <string>
#include <string_view>

// Files the player keeps ("KORU.CFG", "KORU.tsr", "KORU.sys", list files, pictures) are opened
// without blocking, and only regular files are read or replaced: a FIFO, a device or a folder
// by such a name is refused with a log line instead of freezing the user-interface thread.

// Reads a whole regular file, however long. nullopt (and a log line) when it cannot be opened
// or read, or is not a regular file.
std::optional<std::string> ReadWholeFile(const std::string& path);

// What stands at a path, without blocking and without reading it.
enum class FileState {
    Missing,     // nothing by that name
    Readable,    // a regular file that opens for reading
    Unreadable,  // anything else: no permission, not a regular file, a dangling link
};
// `reason`, when given, receives why an existing file is Unreadable.
FileState ProbeFile(const std::string& path, std::string* reason = nullptr);

// True when `path` is a regular file that opens for reading.
bool CanOpenForReading(const std::string& path);

// Writes `bytes` as the whole new content of `path` in one piece: into a temporary file
// ".velkaf-XXXXXX" in the same folder, flushed to disk, then renamed over the old file. A
// crash, a kill or a full disk leaves either the old content or the new, never a cut file.
// The writer holds an exclusive flock on the temporary file until the rename, which tells a
// save in progress from the leftover of a killed one. Returns false (and logs) when anything
// fails or `path` exists but is not a regular file; the old file is then untouched. A symbolic
// link is written through: its target is replaced in the target's folder and the link stays; a
// link whose target cannot be reached is not replaced (false).
// A file that already holds exactly `bytes`, in a folder that could take the save, is left as
// it is (true).
bool WriteFileAtomically(const std::string& path, std::string_view bytes);

// Removes the temporary files that killed saves left in `folder` (ending in '/'): only names
// of WriteFileAtomically's pattern, only regular files, and only those whose lock nobody holds
// (a save in progress by another running player keeps its file). Returns how many went.
int RemoveStaleTempFiles(const std::string& folder);

// Holds an exclusive flock on a folder (ending in '/') while it lives, so two players that
// share a program folder (one started with --new-instance, or where no session bus ties them
// together) never save its files at the same time. Waits at most `waitMs` for the other
// player's save; past that it goes on without the lock, with a log line, rather than lose
// this player's data.
class FolderLock {
public:
    explicit FolderLock(const std::string& folder, int waitMs = 5000);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    bool Held() const { return m_held; }

private:
    int m_fd = -1;
    bool m_held = false;
};
