#include "app/DesktopScreenSaver.h"

#include <xcb/screensaver.h>
#include <xcb/xcb.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QGuiApplication>

#include "platform/Log.h"

namespace {
const char* const kService = "org.freedesktop.ScreenSaver";
const char* const kPath = "/org/freedesktop/ScreenSaver";
const char* const kInterface = "org.freedesktop.ScreenSaver";

xcb_connection_t* X11Connection() {
    auto* x11 = qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 != nullptr ? x11->connection() : nullptr;
}
}  // namespace

DesktopScreenSaver::DesktopScreenSaver() = default;

DesktopScreenSaver::~DesktopScreenSaver() {
    if (m_wanted) Release();
}

void DesktopScreenSaver::Hold() {
    m_wanted = true;
    SuspendX11(true);
    if (m_inhibitPending || m_haveCookie) return;
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, "Inhibit");
    call << QStringLiteral("velkaf") << QStringLiteral("playing a video");
    m_inhibitPending = true;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        m_inhibitPending = false;
        const QDBusPendingReply<uint32_t> reply = *w;
        if (reply.isError()) {
            if (!m_busReported)
                LogLine("screen saver: no Inhibit on the session bus (" + reply.error().name().toStdString() + ")");
            m_busReported = true;
            return;
        }
        if (LogEnabled()) LogLine("screen saver: held off (cookie " + std::to_string(reply.value()) + ")");
        // A release that came while the call was under way lets go at once.
        if (!m_wanted) UnInhibit(reply.value());
        else m_cookie = reply.value(), m_haveCookie = true;
    });
}

void DesktopScreenSaver::Release() {
    m_wanted = false;
    SuspendX11(false);
    if (!m_haveCookie) return;  // none held, or the pending Inhibit lets go when it answers
    m_haveCookie = false;
    UnInhibit(m_cookie);
}

void DesktopScreenSaver::UnInhibit(uint32_t cookie) {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, "UnInhibit");
    call << cookie;
    // No answer awaited: at the quit the message is sent before the connection closes.
    QDBusConnection::sessionBus().call(call, QDBus::NoBlock);
    if (LogEnabled()) LogLine("screen saver: let go (cookie " + std::to_string(cookie) + ")");
}

void DesktopScreenSaver::SuspendX11(bool suspend) {
    if (suspend == m_x11Suspended) return;
    xcb_connection_t* c = X11Connection();
    if (c == nullptr) return;
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c, &xcb_screensaver_id);
    if (ext == nullptr || !ext->present) return;
    // Suspends nest per client; the server drops ours when the connection closes.
    xcb_screensaver_suspend(c, suspend ? 1 : 0);
    xcb_flush(c);
    m_x11Suspended = suspend;
}
