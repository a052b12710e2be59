// The picture's windows as a real X server sees them, on a virtual display (Xvfb) of the test's own.
#include <QScreen>
#include <QTest>
#include "device/VideoHost.h"
#include "device/VideoHostWidget.h"
#include "panels/FullScreenWindows.h"
#include "tests/e2e/PlayerProcess.h"
#include "tests/support/QtTestApp.h"
// Last: Xlib's macros would clash with the headers above.
#include <X11/Xlib.h>

namespace {
constexpr int W = 1024, H = 768;

// The display (":N", empty when Xvfb cannot start), made on first use: this process's DISPLAY and the players'.
const std::string& TestDisplay() {
    static const VirtualDisplay display;
    static const std::string name = [] {
        if (display.Name().empty()) return display.Name();
        setenv("DISPLAY", display.Name().c_str(), 1); setenv("QT_QPA_PLATFORM", "xcb", 1);
        return display.Name();
    }();
    return name;
}

// A frame of the destination's size goes to the screen through a window of its own there, is put
// again when uncovered; a frame that must be scaled is painted instead. In full screen, through the overlay.
TEST(X11Test, PictureReachesTheScreenAndReturnsWhenUncoveredAndGoesThroughTheFullScreenOverlay) {
    Display* x = TestDisplay().empty() ? nullptr : XOpenDisplay(TestDisplay().c_str());
    if (x == nullptr) GTEST_SKIP() << "no Xvfb to start a virtual display";
    TestApplication();
    VideoHostWidget host(nullptr, Qt::Window | Qt::FramelessWindowHint);
    host.setGeometry(0, 0, 400, 300); host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    static const int owner = 0;
    auto surface = VideoHostRegistry::Find(host.hostId());
    const auto Put = [&](DestinationRect d, int w, int h, uint32_t rgb) {  // one colour, as the device hands it over
        auto frame = std::make_shared<VideoFrame>(w, h);
        auto* pixels = reinterpret_cast<uint32_t*>(frame->data());
        for (int y = 0; y < h; ++y) std::fill_n(pixels + y * frame->stride() / 4, w, rgb);
        surface->SetDestination(&owner, d); surface->Publish(&owner, d, frame);
    };
    const auto Shows = [](QPoint at, QRgb rgb) {
        const auto shown = [&] { return QGuiApplication::primaryScreen()->grabWindow(0).toImage().pixel(at); };
        return QTest::qWaitFor([&] { return shown() == rgb; }, 3000);
    };
    const DestinationRect d{40, 30, 320, 240};
    surface->Attach(&owner, d);
    for (const QRgb rgb : {0xffff0000u, 0xff00ff00u}) {
        Put(d, 320, 240, rgb);
        EXPECT_TRUE(Shows({359, 269}, rgb) && Shows({40, 30}, rgb) && Shows({39, 29}, 0xff000000u)) << std::hex << rgb;
    }
    Window root = 0, parent = 0, *children = nullptr; unsigned count = 0; XWindowAttributes a{};
    XQueryTree(x, static_cast<Window>(host.winId()), &root, &parent, &children, &count);
    ASSERT_EQ(count, 1u) << "the picture's own window";
    XGetWindowAttributes(x, children[0], &a); XFree(children);
    EXPECT_EQ(std::tuple(a.x, a.y, a.width, a.height, a.map_state), std::tuple(40, 30, 320, 240, IsViewable));
    const Window cover = XCreateSimpleWindow(x, DefaultRootWindow(x), 0, 0, 400, 300, 0, 0, WhitePixel(x, 0));
    XMapRaised(x, cover); XSync(x, False);
    EXPECT_TRUE(Shows({200, 150}, 0xffffffffu));
    XDestroyWindow(x, cover); XSync(x, False);
    EXPECT_TRUE(Shows({200, 150}, 0xff00ff00u)) << "put again when uncovered";
    Put({0, 0, 800, 600}, 400, 300, 0xff0000ffu);  // larger than the host: rendered at its size, scaled up
    EXPECT_TRUE(Shows({10, 10}, 0xff0000ffu) && Shows({399, 299}, 0xff0000ffu));
    // Full screen: clicks and the picture go through the overlay above it.
    CFullScreenDlg window(nullptr); window.Create(); window.ShowTopmost(QRect(0, -20, W, H + 20));
    surface = VideoHostRegistry::Find(window.HostId());
    surface->Attach(&owner, DestinationRect{0, 20, W, H});
    Put({0, 20, W, H}, W, H, 0xffffffffu);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.Window()));
    CFullScreenOverlayDlg overlay(nullptr); overlay.Create(QRect(0, -20, W, H + 20), QRegion());
    QTest::qWait(300);
    for (const QPoint at : {QPoint(W / 2, H / 2), QPoint(0, 0), QPoint(W - 1, H - 1)})
        EXPECT_EQ(QApplication::widgetAt(at), window.Window()) << at.x() << "," << at.y();
    const QImage shown = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    for (const QPoint at : {QPoint(W / 2, H / 2), QPoint(5, 5)}) EXPECT_EQ(shown.pixel(at), 0xFFFFFFFFu) << at.x();
    XCloseDisplay(x);
}

struct X11Player {  // the real player on the display with the test's list ("tone.wav": a tone) and "Key=value\n..."
    X11Player(double toneSeconds, std::vector<std::string> list, const std::string& changes) {
        if (TestDisplay().empty() || (x = XOpenDisplay(TestDisplay().c_str())) == nullptr) return;
        WriteToneWav(home.path() + "tone.wav", toneSeconds, 440.0, 0.2);
        for (std::string& entry : list) if (entry == "tone.wav") entry = home.path() + entry;
        WriteStateFiles(home.path(), list, changes);
        player = std::make_unique<PlayerProcess>(home.path(), std::vector<std::string>{});
    }
    ~X11Player() {
        if (player) { EXPECT_EQ(player->Quit(), 0) << player->Log(); }
        if (x != nullptr) XCloseDisplay(x);
    }
    // A viewable top-level window (a child of the root) of that size, at that place when given; or 0.
    Window Mapped(int width, int height, int atX = -1, int atY = -1) {
        Window root = 0, parent = 0, *children = nullptr, found = 0; unsigned count = 0;
        XQueryTree(x, DefaultRootWindow(x), &root, &parent, &children, &count);
        for (unsigned i = 0; i < count; ++i) {
            XWindowAttributes a;
            if (XGetWindowAttributes(x, children[i], &a) && a.map_state == IsViewable && a.width == width &&
                a.height == height && (atX < 0 || (a.x == atX && a.y == atY))) found = children[i];
        }
        if (children != nullptr) XFree(children);
        return found;
    }
    size_t LogAfter(const std::string& text, size_t from) {  // where `text` first shows after `from` (20 s), or npos
        size_t at = std::string::npos;
        WaitUntil([&] { return (at = player->Log().find(text, from)) != std::string::npos; }, 20000);
        return at;
    }
    Display* x = nullptr; TempFolder home; std::unique_ptr<PlayerProcess> player;
};

TEST(X11Test, AVideoAfterAToneAppearsWhileAnotherApplicationIsActive) {
    X11Player p(6.0, {"tone.wav", MediaPath("video.mpg")}, "x=600\ny=500\nMovieX=40\nMovieY=60\nRepeat=0");
    if (p.x == nullptr) GTEST_SKIP() << "no virtual display";
    const Window other = XCreateSimpleWindow(p.x, DefaultRootWindow(p.x), 0, 0, 300, 200, 0, 0, 0);
    XMapWindow(p.x, other);
    ASSERT_NE(p.LogAfter("first tick done", 0), std::string::npos) << p.player->Log();
    // The user clicks into the player, then goes on working in the other application.
    Window main = 0;
    ASSERT_TRUE(WaitUntil([&] { return (main = p.Mapped(321, 92)) != 0; }, 10000));
    XSetInputFocus(p.x, main, RevertToParent, CurrentTime); XSync(p.x, False);
    ASSERT_NE(p.LogAfter("application active", 0), std::string::npos) << p.player->Log();
    XSetInputFocus(p.x, other, RevertToParent, CurrentTime); XSync(p.x, False);
    ASSERT_TRUE(p.player->WaitForLogAfter("application active", "application inactive", 20s)) << p.player->Log();
    ASSERT_EQ(p.player->Log().find("open \"video.mpg\""), std::string::npos) << "the tone ended too early";
    ASSERT_NE(p.LogAfter("open \"video.mpg\"", 0), std::string::npos) << p.player->Log();
    EXPECT_TRUE(WaitUntil([&] { return p.Mapped(320, 240, 40, 60); }, 10000)) << "the video window is mapped";
    Window focus = 0; int revert = 0;
    XGetInputFocus(p.x, &focus, &revert);
    EXPECT_EQ(focus, other) << "the other application keeps the focus";
}

TEST(X11Test, DesktopHostGoesWithThePicture) {
    X11Player p(3.0, {MediaPath("clip.avi"), "tone.wav", MediaPath("clip.avi")},
                "x=600\ny=500\nMovieSize_Save=1\nMovieSize=3\nRepeat=0");
    if (p.x == nullptr) GTEST_SKIP() << "no virtual display";
    // After each of these in turn, the picture shows screen-sized at 0, 0 (within `ms`) or nowhere.
    const struct { const char* logged; bool shows; int ms; } steps[] = {{"open \"clip.avi\"", true, 10000},
        {"open \"tone.wav\"", false, 2000}, {"open \"clip.avi\"", true, 10000}, {"mci> close movie", false, 5000}};
    size_t at = 0;
    for (const auto& s : steps) {
        ASSERT_NE(at = p.LogAfter(s.logged, at), std::string::npos) << s.logged << "\n" << p.player->Log();
        EXPECT_TRUE(WaitUntil([&] { return s.shows ? p.Mapped(W, H, 0, 0) != 0 : !p.Mapped(W, H); }, s.ms)) << s.logged;
    }
}
}  // namespace
