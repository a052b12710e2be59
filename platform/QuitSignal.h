#pragma once

// SIGTERM, SIGINT and SIGHUP ask the player to quit in order (saving its list and settings)
// instead of ending it at once. The handler records the request and writes one byte to a
// pipe, so an event loop watching QuitSignalFd() wakes at once instead of at its next poll.
void InstallQuitSignalHandlers();
// True once a quit signal arrived (stays true).
bool QuitSignalReceived();
// The pipe's read end (non-blocking, close-on-exec): readable once a quit signal arrived;
// -1 when no pipe could be made (then only QuitSignalReceived() tells). Drain it with
// DrainQuitSignalFd().
int QuitSignalFd();
void DrainQuitSignalFd();

// Once everything is saved: the process ends with `code` after `ms` milliseconds, whatever
// it is still waiting for then (a library's teardown that waits for a read that never
// returns), so a quit never hangs and the folder's lock goes with the process.
void EndProcessWithin(int ms, int code);
