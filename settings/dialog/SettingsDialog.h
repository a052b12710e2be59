#pragma once
#include <functional>
#include <string>

class QWidget;
struct PlayerState;
struct Settings;

// The CONFIG button's action: runs the settings dialog modally over `parent`.
//
// - Does nothing and returns false while state.speed is not 0 (a search runs); the caller
//   needs no check of its own.
// - "OK": copies the dialog's fields back into `settings`, sets state.backgroundReload when
//   the background name changed (the next tick rebuilds the skin source), then calls
//   placeMainWindow(settings.alwaysOnTop == 1). The caller's callback re-places the main
//   window at (mainX, mainY), kMainWindowWidth x kMainWindowHeight, shows it, and makes it topmost when its argument is
//   true and not topmost otherwise. Returns true.
// - "ｷｬﾝｾﾙ", Esc or closing the window: `settings` and `state` stay as they were; the
//   callback is not called; returns false. So is a parent destroyed while the dialog runs.
//
// Nothing is written to disk. `programFolder` ends in '/' (its bg/ folder holds the pictures).
// The modal loop keeps dispatching the player's timer.
bool OpenSettingsDialog(QWidget* parent, Settings& settings, PlayerState& state, const std::string& programFolder,
                        const std::function<void(bool alwaysOnTop)>& placeMainWindow);
