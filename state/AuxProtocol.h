#pragma once

// How the auxiliary windows (panels/ and the playlist editor) talk to the main window: value
// slots the main tick polls (MainTickHost::AuxValue, each window's GetValue/SetValue) and codes
// they report at once (PlayerNotify, a queued CPlayerDlg::OnPlayerNotify). Both sides include
// this header, so it sits at the bottom with the records. User-interface thread only.

// Codes of PlayerNotify.
enum PlayerNotifyCode : int {
    kNotifyTogglePanel = 1,      // full screen: show or hide the control panel
    kNotifyLeaveFullScreen = 5,  // full screen: leave it
    kNotifyCloseEditor = 20,     // the playlist editor: close it (its own handler is on the stack)
};

// The video window's slots.
enum VideoSlot : int {
    kVideoX = 0,  // where the window is
    kVideoY = 1,
    kVideoSnapped = 4,  // 1 after a move snapped to a screen edge (read-and-clear)
};

// The full-screen window's and the overlay's slots, each read-and-clear.
enum FullScreenSlot : int {
    kFullScreenScrollStep = 0,   // +1 or -1, the last one wins
    kFullScreenMiddleClick = 1,  // 1 after a middle press
    kFullScreenLeftClick = 2,    // 1 after a left press in click mode 1
};

// The control panel's slots as read (GetValue), and what the read-and-clear ones report.
enum PanelSlot : int {
    kPanelSliderState = 0,  // kPanelSliderMoved or 0 (read-and-clear)
    kPanelPosition = 1,     // the position the user chose, in the device's units
    kPanelVolumeState = 2,  // kPanelVolumeMoved or 0 (read-and-clear)
    kPanelVolumeLevel = 3,  // volume slider / 8 - 1, not below 0 (0..255)
    kPanelButtonState = 4,  // kPanelButtonPressed or 0 (read-and-clear)
    kPanelButton = 5,       // a PanelButton; reading it makes it kPanelButtonPolled
};
constexpr int kPanelSliderMoved = 1;
constexpr int kPanelVolumeMoved = 2;
constexpr int kPanelButtonPressed = 3;
enum PanelButton : int { kPanelPlayPause = 0, kPanelNext = 2, kPanelBack = 3, kPanelButtonPolled = 10 };

// The control panel's slots as written (SetValue).
enum PanelSetting : int {
    kPanelSetLength = 0,     // the media length: the position slider's scale
    kPanelShowPosition = 1,  // thumb at position / (length / 2048)
    kPanelShowVolume = 2,    // a level 0..255: thumb at level x 8 + 8
    kPanelFitToScreen = 3,   // the position slider fitted to a screen of that width
};

// The playlist editor's slots (GetValue; nothing is cleared by reading) and its requests.
enum EditorSlot : int {
    kEditorRequest = 0,      // an EditorRequest
    kEditorChosenEntry = 1,  // the entry a double click chose to play
    kEditorCurrent = 2,      // the editor's current index
    kEditorCount = 3,        // its entry count
};
enum EditorRequest : int { kEditorRequestNone = 0, kEditorRequestPlay = 1, kEditorRequestResized = 10 };
// What EditorReset(which) clears.
enum EditorResetWhat : int { kResetRequest = 0, kResetChosenEntry = 1 };
