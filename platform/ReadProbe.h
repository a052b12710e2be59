#pragma once
#include <string>

// Whether the first bytes of the file at `path` can be read within `boundMs`, so that no
// caller hands a file whose read blocks (a stalled network mount, a FUSE file that never
// answers, a link to a device like /proc/kmsg) to a reader that would wait for it for good.
//
// The read runs on a thread of its own. A read that does not finish within the bound is
// left behind, holding nothing of the caller's; while it is still stuck, the same file (by
// device and inode) is refused at once, so a list that keeps coming back to it does not
// pile up threads. A regular file of no bytes answers false without a read (empty, or a file
// of /proc that serves what it holds, then blocks). A missing or unreadable file answers
// true: its opener reports why.
//
// Threading: any thread. Standard library only.
bool FirstBytesReadable(const std::string& path, int boundMs);

// The bound of the readers of media files (the tag reader, the media device), milliseconds.
constexpr int kMediaReadBoundMs = 250;
