#pragma once

// The desktop's screen saver (and the display's power saving) as an outside service, held off
// while the user watches a picture. The desktop implementation asks the session bus and the X
// server; tests record the calls. User-interface thread only; neither call blocks.
class ScreenSaver {
public:
    virtual ~ScreenSaver() = default;
    // Keeps the screen awake until Release. Called only while not held.
    virtual void Hold() = 0;
    // Lets the screen saver run again. Called only while held.
    virtual void Release() = 0;
};
