#pragma once
#include <functional>
#include <memory>
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

// Runs `read`, a reader of the file at `path`, on a thread of its own and waits for it at most
// `boundMs`. False when it did not finish: it is left behind as a stuck probe is (the same file is
// refused at once while it stays stuck), and for a regular file of no bytes, which is not read
// (as FirstBytesReadable). `read` owns whatever it touches (copies, shared_ptr).
bool ReadWithin(const std::string& path, int boundMs, std::function<void()> read);

// `reader(path)` when its whole read finishes within kMediaReadBoundMs; else T{}: a file whose
// first or later reads block (a FUSE file that stalls after its first pages) holds nobody.
template <class T, class Reader>
T ReadMediaFileWithin(const std::string& path, Reader reader) {
    auto result = std::make_shared<T>();
    if (!ReadWithin(path, kMediaReadBoundMs, [path, result, reader] { *result = reader(path); })) return T{};
    return std::move(*result);
}
