#pragma once
#include <QObject>
#include <cstdint>

#include "platform/ScreenSaver.h"

// The desktop's screen saver held off in two ways at once: the session bus's
// org.freedesktop.ScreenSaver Inhibit / UnInhibit (GNOME, KDE, Xfce and the freedesktop
// screen savers answer it), and on X11 the screen saver extension's suspend, which also keeps
// an X screen saver and the display's power saving off where no bus service is. A desktop
// with neither changes nothing: one log line says so. Calls on the bus are asynchronous, so a
// slow or missing service never holds the user-interface thread. User-interface thread only.
class DesktopScreenSaver final : public QObject, public ScreenSaver {
    Q_OBJECT
public:
    DesktopScreenSaver();
    ~DesktopScreenSaver() override;

    void Hold() override;
    void Release() override;

private:
    void SuspendX11(bool suspend);
    void UnInhibit(uint32_t cookie);

    bool m_wanted = false;          // Hold called, Release not yet
    bool m_inhibitPending = false;  // an Inhibit call waits for its cookie
    bool m_haveCookie = false;
    uint32_t m_cookie = 0;
    bool m_busReported = false;
    bool m_x11Suspended = false;
};
