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
    if (wanted_) Release();
}

void DesktopScreenSaver::Hold() {
    wanted_ = true;
    SuspendX11(true);
    if (inhibitPending_ || haveCookie_) return;
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, "Inhibit");
    call << QStringLiteral("velkaf") << QStringLiteral("playing a video");
    inhibitPending_ = true;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        inhibitPending_ = false;
        const QDBusPendingReply<uint32_t> reply = *w;
        if (reply.isError()) {
            if (!busReported_)
                LogLine("screen saver: no Inhibit on the session bus (" + reply.error().name().toStdString() + ")");
            busReported_ = true;
            return;
        }
        if (LogEnabled()) LogLine("screen saver: held off (cookie " + std::to_string(reply.value()) + ")");
        // A release that came while the call was under way lets go at once.
        if (!wanted_) UnInhibit(reply.value());
        else cookie_ = reply.value(), haveCookie_ = true;
    });
}

void DesktopScreenSaver::Release() {
    wanted_ = false;
    SuspendX11(false);
    if (!haveCookie_) return;  // none held, or the pending Inhibit lets go when it answers
    haveCookie_ = false;
    UnInhibit(cookie_);
}

void DesktopScreenSaver::UnInhibit(uint32_t cookie) {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, "UnInhibit");
    call << cookie;
    // No answer awaited: at the quit the message is sent before the connection closes.
    QDBusConnection::sessionBus().call(call, QDBus::NoBlock);
    if (LogEnabled()) LogLine("screen saver: let go (cookie " + std::to_string(cookie) + ")");
}

void DesktopScreenSaver::SuspendX11(bool suspend) {
    if (suspend == x11Suspended_) return;
    xcb_connection_t* c = X11Connection();
    if (c == nullptr) return;
    const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c, &xcb_screensaver_id);
    if (ext == nullptr || !ext->present) return;
    // Suspends nest per client; the server drops ours when the connection closes.
    xcb_screensaver_suspend(c, suspend ? 1 : 0);
    xcb_flush(c);
    x11Suspended_ = suspend;
}
