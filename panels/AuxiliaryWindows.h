#pragma once
#include <array>

#include "state/AuxProtocol.h"

// A window coordinate within 17 pixels of the screen's left or top edge snaps to 0.
constexpr bool SnapsToEdge(int coordinate) { return coordinate >= -17 && coordinate <= 16; }

class CPlayerDlg;

// The base of the main window's auxiliary objects (the playlist editor has a class of its
// own). Each keeps a pointer to the main window and a small store of values that the main
// tick reads through GetValue; values marked read-and-clear return to their idle value when
// read. The objects exist for the main window's whole life; their windows are created when
// first shown.
class CAuxiliaryDialog {
public:
    explicit CAuxiliaryDialog(CPlayerDlg* player) : m_pPlayer(player) {}
    virtual ~CAuxiliaryDialog() = default;
    CAuxiliaryDialog(const CAuxiliaryDialog&) = delete;
    CAuxiliaryDialog& operator=(const CAuxiliaryDialog&) = delete;

    virtual int GetValue(int index);
    virtual void SetValue(int index, int value);

protected:
    // Which indices are read-and-clear, and the value they return to.
    virtual bool ClearsOnRead(int index) const = 0;
    virtual int IdleValue(int /*index*/) const { return 0; }

    CPlayerDlg* m_pPlayer;
    std::array<int, 8> m_values{};
};

// Video window: the VideoSlot values (its place, and snapped since last read).
class CVideoWindowDlg final : public CAuxiliaryDialog {
public:
    using CAuxiliaryDialog::CAuxiliaryDialog;
    // The window moved to (x, y): a coordinate within 17 pixels of the screen's left or top
    // edge (-17..16) snaps to 0 and raises the snapped flag, so the next tick places the video
    // again at the snapped corner. The window itself is not moved here.
    void OnMove(int x, int y);

protected:
    bool ClearsOnRead(int index) const override { return index == kVideoSnapped; }
};

// The full-screen window, its overlay and the control panel: real windows of their own,
// declared beside the base they derive from (each header includes this one first).
#include "panels/ControlPanel.h"
#include "panels/FullScreenWindows.h"
