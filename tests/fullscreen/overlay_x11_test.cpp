// Where a click on the picture goes, asked of a real X server: the overlay lies above the
// full-screen window, yet the point belongs to the full-screen window and the picture shows
// through. The test starts its own virtual display (Xvfb) and runs itself there in a child
// process, as the offscreen platform has no window system to ask.
#include <gtest/gtest.h>

#include <QScreen>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "device/VideoHost.h"
#include "device/VideoHostWidget.h"
#include "tests/fullscreen/FullScreenRig.h"

extern char** environ;

namespace {

constexpr const char* kChildVariable = "VELKAF_FULLSCREEN_X11_CHILD";

std::string FindProgram(const char* name) {
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos) end = folders.size();
        const std::string candidate = folders.substr(start, end - start) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return {};
}

// A virtual X display for the test's lifetime.
class VirtualDisplay {
public:
    VirtualDisplay() {
        const std::string xvfb = FindProgram("Xvfb");
        if (xvfb.empty()) return;
        int fds[2];
        if (pipe(fds) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            close(fds[0]);
            setsid();
            const std::string fd = std::to_string(fds[1]);
            execl(xvfb.c_str(), "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "640x480x24", "-nolisten", "tcp",
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        // Xvfb writes the display number it chose once it accepts connections.
        std::string number;
        pollfd wait{fds[0], POLLIN, 0};
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < deadline && number.find('\n') == std::string::npos) {
            if (poll(&wait, 1, 200) <= 0) continue;
            char buffer[32];
            const ssize_t got = read(fds[0], buffer, sizeof buffer);
            if (got <= 0) break;
            number.append(buffer, static_cast<size_t>(got));
        }
        close(fds[0]);
        if (number.find('\n') != std::string::npos) display_ = ":" + number.substr(0, number.find('\n'));
    }
    ~VirtualDisplay() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    const std::string& Name() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};

// Runs this test program again with `filter` on `display`; its exit status, -1 on timeout.
int RunChild(const std::string& filter, const std::string& display) {
    std::vector<std::string> env;
    std::string sanitizer = "ASAN_OPTIONS=";
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        if (entry.rfind("ASAN_OPTIONS=", 0) == 0) sanitizer = entry + ":";
        if (entry.rfind("DISPLAY=", 0) == 0 || entry.rfind("QT_QPA_PLATFORM=", 0) == 0 ||
            entry.rfind("WAYLAND_DISPLAY=", 0) == 0 || entry.rfind("ASAN_OPTIONS=", 0) == 0)
            continue;
        env.push_back(entry);
    }
    // On a real display the system libraries (D-Bus, fontconfig) keep memory to the end; the
    // child answers where clicks go, and its exit status must say only that.
    env.push_back(sanitizer + "detect_leaks=0");
    env.push_back("DISPLAY=" + display);
    env.push_back("QT_QPA_PLATFORM=xcb");
    env.push_back(std::string(kChildVariable) + "=1");
    std::vector<char*> envp;
    for (std::string& entry : env) envp.push_back(entry.data());
    envp.push_back(nullptr);
    const std::string filterArgument = "--gtest_filter=" + filter;

    const pid_t child = fork();
    if (child == 0) {
        execle("/proc/self/exe", "fullscreen_test", filterArgument.c_str(), static_cast<char*>(nullptr), envp.data());
        _exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child) return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    return -1;
}

// A white picture over the whole full-screen window, as the device would hand it over.
void ShowWhitePicture(CFullScreenDlg& dialog, int width, int height) {
    const std::shared_ptr<HostSurface> surface = VideoHostRegistry::Find(dialog.HostId());
    ASSERT_NE(surface, nullptr);
    static const int owner = 0;
    const DestinationRect destination{0, 20, width, height};
    surface->Attach(&owner, destination);
    auto frame = std::make_shared<VideoFrame>(width, height);
    for (int y = 0; y < height; ++y) std::memset(frame->data() + frame->stride() * y, 0xff, frame->stride());
    surface->Publish(&owner, destination, frame);
}

TEST(OverlayOnX11Test, ClicksAndPictureGoThroughTheOverlay) {
    if (std::getenv(kChildVariable) == nullptr) {
        VirtualDisplay display;
        if (display.Name().empty()) GTEST_SKIP() << "no Xvfb to start a virtual display";
        EXPECT_EQ(RunChild("OverlayOnX11Test.*", display.Name()), 0);
        return;
    }

    // The child, on the virtual display.
    App();
    ASSERT_EQ(QGuiApplication::platformName(), "xcb");
    const QSize screen = QGuiApplication::primaryScreen()->size();
    const int W = screen.width(), H = screen.height();

    CFullScreenDlg window(nullptr);
    window.Create();
    window.ShowTopmost(QRect(0, -20, W, H + 20));
    ShowWhitePicture(window, W, H);
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

}  // namespace
