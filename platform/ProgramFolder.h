#pragma once
#include <string>

// The folder that holds "KORU.CFG", "KORU.tsr", "KORU.sys" and bg/, ending in '/'.
//
// - $VELKAF_HOME when set (created when missing): a portable folder chosen by the user or
//   by tests.
// - Otherwise the folder of the running executable (/proc/self/exe) when it is writable
//   (the build tree, a portable folder) and the program is not installed (an installed
//   program has its data folder, ../share/velkaf/ with "KORU.sys", beside its bin/).
// - Otherwise $XDG_CONFIG_HOME/velkaf/ (default ~/.config/velkaf/).
// In the last two cases "KORU.sys" is copied in from the executable's folder or the
// installed data folder when it is missing. Computed once; later calls return the same.
const std::string& ProgramFolder();

// The folder of the running executable, ending in '/'.
std::string ExecutableFolder();

// The file in the program folder whose lock marks the player that owns the folder.
inline constexpr const char* kOwnerLockFileName = "velkaf.lock";

// Claims `folder` (ending in '/') for this process for the rest of its run: an exclusive flock
// on folder + kOwnerLockFileName, which the system releases when the process ends, however it
// ends. False when another running player holds it: this one is then a guest and must not
// write the folder's state files. A folder where the lock file cannot be made (read-only,
// missing) has no owner to protect and gives true, with a log line. Call once.
bool ClaimProgramFolder(const std::string& folder);

// Lets the claim go once everything is saved: a process that cannot end at once (a thread of
// the media engine stuck in a read of a stalled mount keeps it alive) must not keep the folder
// from the next start.
void ReleaseProgramFolder();
