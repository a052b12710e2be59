#pragma once
#include <functional>

#include "state/AuxProtocol.h"

class QObject;

// What an auxiliary window reports to the main window at once (WM_USER+5 with a code).
// The handler may destroy the window that reports, so the report is always a queued call:
// it runs after the window's own event handler has returned.
using PlayerNotify = std::function<void(int code)>;

// The codes are PlayerNotifyCode (state/AuxProtocol.h).

// A PlayerNotify that posts `handler(code)` to `receiver` as a queued call. Nothing runs
// while the reporting window's handler is on the stack; a report still queued when
// `receiver` is destroyed is dropped.
PlayerNotify QueuedPlayerNotify(QObject* receiver, std::function<void(int)> handler);
