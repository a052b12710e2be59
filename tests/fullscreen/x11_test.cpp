// The picture's windows as a real X server sees them, on a virtual display of the test's own:
// the full-screen overlay lets clicks and the picture through; with the real player and the
// real device, a video after a tone appears at its natural size while another application
// has the focus, and desktop mode's screen-sized host goes when a tone follows and at the end
// of the list.
#include <gtest/gtest.h>

#include <QApplication>
#include <QScreen>
#include <QTest>

#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <thread>

#include "device/VideoHost.h"
#include "panels/FullScreenWindows.h"
#include "tests/device/TestMedia.h"
#include "tests/e2e/DefaultConfiguration.h"
#include "tests/e2e/PlayerProcess.h"
#include "tests/fullscreen/VirtualDisplay.h"
#include "tests/support/QtTestApp.h"
#include "tests/support/TestSupport.h"
// Last: Xlib's macros would clash with the headers above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

using namespace std::chrono_literals;

TEST(X11Test, ClicksAndPictureGoThroughTheOverlay) {
    if (VirtualDisplay().empty()) GTEST_SKIP() << "no Xvfb to start a virtual display";
    TestApplication();
    ASSERT_EQ(QGuiApplication::platformName(), "xcb");
    const int W = 1024, H = 768;
    CFullScreenDlg window(nullptr);
    window.Create();
    window.ShowTopmost(QRect(0, -20, W, H + 20));
    // A white picture all over, as the device would hand it over.
    const std::shared_ptr<HostSurface> surface = VideoHostRegistry::Find(window.HostId());
    ASSERT_NE(surface, nullptr);
    static const int owner = 0;
    const DestinationRect destination{0, 20, W, H};
    surface->Attach(&owner, destination);
    auto frame = std::make_shared<VideoFrame>(W, H);
    std::memset(frame->data(), 0xff, static_cast<size_t>(frame->stride()) * H);
    surface->Publish(&owner, destination, frame);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.Window()));
    CFullScreenOverlayDlg overlay(nullptr);
    overlay.Create(QRect(0, -20, W, H + 20), QRegion());
    ASSERT_TRUE(overlay.Window()->isVisible());
    QTest::qWait(300);

    for (const QPoint at : {QPoint(W / 2, H / 2), QPoint(0, 0), QPoint(W - 1, H - 1)}) {
        QWidget* under = QApplication::widgetAt(at);
        ASSERT_NE(under, nullptr);
        EXPECT_EQ(under->window(), window.Window()) << at.x() << "," << at.y();
    }
    const QImage shown = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    EXPECT_EQ(shown.pixel(W / 2, H / 2), qRgb(255, 255, 255));
    EXPECT_EQ(shown.pixel(5, 5), qRgb(255, 255, 255));
    // The same question finds a window that does take the click, so the answers above mean
    // something.
    QWidget blocker(nullptr, Qt::Window | Qt::FramelessWindowHint);
    blocker.setGeometry(W / 2 - 10, H / 2 - 10, 20, 20);
    blocker.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&blocker));
    QTest::qWait(100);
    EXPECT_EQ(QApplication::widgetAt(QPoint(W / 2, H / 2)), &blocker);
}

struct Mapped {
    Window id;
    int x, y, width, height;
};

bool Eventually(const std::function<bool()>& done, std::chrono::seconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

// The real player on the virtual display, with the list and settings of the test.
struct X11Player {
    X11Player(const std::vector<std::string>& list, const std::string& changes) {
        if (VirtualDisplay().empty() || (x = XOpenDisplay(VirtualDisplay().c_str())) == nullptr) return;
        std::string tsr, cfg = kDefaultConfiguration;
        for (const std::string& path : list) tsr += path + "\r\n";
        for (size_t start = 0; start < changes.size();) {  // "Key=value;Key=value"
            const size_t end = std::min(changes.find(';', start), changes.size());
            const std::string item = changes.substr(start, end - start);
            const size_t at = cfg.find("\n" + item.substr(0, item.find('=') + 1)) + 1;
            cfg.replace(at, cfg.find('\r', at) - at, item);
            start = end + 1;
        }
        home.Write("KORU.tsr", tsr);
        home.Write("KORU.CFG", cfg);
        player = std::make_unique<PlayerProcess>(home.path(), std::vector<std::string>{});
    }
    ~X11Player() {
        if (player) {
            player->Signal(SIGTERM);
            EXPECT_EQ(player->WaitForExit(20s), 0) << player->Log();
        }
        if (x != nullptr) XCloseDisplay(x);
    }
    // The player's mapped top-level windows (no window manager: the root's children), known
    // by their _NET_WM_PID.
    std::vector<Mapped> Windows() {
        std::vector<Mapped> found;
        Window root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        XQueryTree(x, DefaultRootWindow(x), &root, &parent, &children, &count);
        for (unsigned i = 0; i < count; ++i) {
            XWindowAttributes a;
            Atom type = 0;
            int format = 0;
            unsigned long items = 0, after = 0;
            unsigned char* pid = nullptr;
            if (!XGetWindowAttributes(x, children[i], &a) || a.map_state != IsViewable) continue;
            if (XGetWindowProperty(x, children[i], XInternAtom(x, "_NET_WM_PID", False), 0, 1, False, XA_CARDINAL,
                                   &type, &format, &items, &after, &pid) != Success || pid == nullptr) continue;
            if (items == 1 && *reinterpret_cast<unsigned long*>(pid) == static_cast<unsigned long>(player->pid()))
                found.push_back({children[i], a.x, a.y, a.width, a.height});
            XFree(pid);
        }
        if (children != nullptr) XFree(children);
        return found;
    }
    bool Shows(int width, int height, int atX = -1, int atY = -1) {
        for (const Mapped& m : Windows())
            if (m.width == width && m.height == height && (atX < 0 || (m.x == atX && m.y == atY))) return true;
        return false;
    }
    // Where `text` first shows in the log after `from`, waiting up to `timeout`; npos if never.
    size_t LogAfter(const std::string& text, size_t from, std::chrono::seconds timeout) {
        size_t at = std::string::npos;
        Eventually([&] { return (at = player->Log().find(text, from)) != std::string::npos; }, timeout);
        return at;
    }

    Display* x = nullptr;
    TempFolder home;
    std::unique_ptr<PlayerProcess> player;
};

TEST(X11Test, AVideoAfterAToneAppearsWhileAnotherApplicationIsActive) {
    TempFolder media;
    WriteToneWav(media.path() + "tone.wav", 6.0, 440.0, 0.2);
    X11Player p({media.path() + "tone.wav", MediaPath("video.mpg")}, "x=600;y=500;MovieX=40;MovieY=60;Repeat=0");
    if (p.x == nullptr) GTEST_SKIP() << "no virtual display";
    const Window other = XCreateSimpleWindow(p.x, DefaultRootWindow(p.x), 0, 0, 300, 200, 0, 0, 0);
    XMapWindow(p.x, other);
    XSync(p.x, False);
    ASSERT_NE(p.LogAfter("first tick done", 0, 30s), std::string::npos) << p.player->Log();

    // The user clicks into the player, then goes on working in the other application.
    Window main = 0;
    ASSERT_TRUE(Eventually([&] {
        for (const Mapped& m : p.Windows())
            if (m.width == 321 && m.height == 92) main = m.id;
        return main != 0;
    }, 10s));
    XSetInputFocus(p.x, main, RevertToParent, CurrentTime);
    XSync(p.x, False);
    const size_t active = p.LogAfter("application active", 0, 10s);
    ASSERT_NE(active, std::string::npos) << p.player->Log();
    XSetInputFocus(p.x, other, RevertToParent, CurrentTime);
    XSync(p.x, False);
    ASSERT_NE(p.LogAfter("application inactive", active, 10s), std::string::npos) << p.player->Log();
    ASSERT_EQ(p.player->Log().find("open \"video.mpg\""), std::string::npos) << "the tone ended too early";

    ASSERT_NE(p.LogAfter("open \"video.mpg\"", 0, 20s), std::string::npos) << p.player->Log();
    EXPECT_TRUE(Eventually([&] { return p.Shows(320, 240, 40, 60); }, 10s)) << "the video window is mapped";
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(p.x, &focus, &revert);
    EXPECT_EQ(focus, other) << "the other application keeps the focus";
}

TEST(X11Test, DesktopHostGoesWithThePicture) {
    TempFolder media;
    WriteToneWav(media.path() + "tone.wav", 3.0, 440.0, 0.2);
    X11Player p({MediaPath("clip.avi"), media.path() + "tone.wav", MediaPath("clip.avi")},
                "x=600;y=500;MovieSize_Save=1;MovieSize=3;Repeat=0");
    if (p.x == nullptr) GTEST_SKIP() << "no virtual display";
    const size_t first = p.LogAfter("open \"clip.avi\"", 0, 30s);
    ASSERT_NE(first, std::string::npos) << p.player->Log();
    EXPECT_TRUE(Eventually([&] { return p.Shows(1024, 768, 0, 0); }, 10s)) << "desktop mode shows the picture";

    const size_t tone = p.LogAfter("open \"tone.wav\"", first, 20s);
    ASSERT_NE(tone, std::string::npos) << p.player->Log();
    EXPECT_TRUE(Eventually([&] { return !p.Shows(1024, 768); }, 2s)) << "a tone leaves no screen-sized window";

    const size_t last = p.LogAfter("open \"clip.avi\"", tone, 20s);
    ASSERT_NE(last, std::string::npos) << p.player->Log();
    EXPECT_TRUE(Eventually([&] { return p.Shows(1024, 768, 0, 0); }, 10s));
    ASSERT_NE(p.LogAfter("mci> close movie", last, 20s), std::string::npos) << p.player->Log();
    EXPECT_TRUE(Eventually([&] { return !p.Shows(1024, 768); }, 5s)) << "the end of the list takes it away";
}

}  // namespace
