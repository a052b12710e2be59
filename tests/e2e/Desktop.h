#pragma once
// openbox on a virtual screen of the test's own, and where the player's windows lie on it.
#include <cstdio>
#include <ostream>
#include <sstream>
#include "tests/e2e/PlayerProcess.h"

struct Box {
    int x = 0, y = 0, w = 0, h = 0;
    friend bool operator==(const Box&, const Box&) = default;
};
inline std::ostream& operator<<(std::ostream& o, const Box& b) {
    return o << b.x << "," << b.y << " " << b.w << "x" << b.h;
}

// An MPEG-2 clip of one colour, 25 frames a second; "made" once it is.
inline std::string MakeClip(const std::string& path, const std::string& colour, const std::string& size, int seconds) {
    return ShellOutput("timeout 60 ffmpeg -nostdin -v error -f lavfi -i color=c=" + colour + ":s=" + size +
                       ":r=25 -t " + std::to_string(seconds) + " -c:v mpeg2video -y '" + path + "' && echo made");
}

// Skipped without Xvfb, openbox or xdotool; openbox is up once it has named itself on the root window, as window
// managers do. `home` is the player's program folder.
class OpenboxDesktop : public ::testing::Test {
protected:
    explicit OpenboxDesktop(const std::string& size) : desk(size) {}
    void SetUp() override {
        const auto up = [&] { return CountOf(desk.Run("xprop -root _NET_SUPPORTING_WM_CHECK"), "window id") > 0; };
        if (desk.Name().empty() || !MissingTool({"openbox", "xdotool"}).empty() || !Eventually(up))
            GTEST_SKIP() << "needs Xvfb, openbox and xdotool";
    }
    // The first visible window of `pid` (named `name` when given: a regular expression) for which `ok` holds, once
    // there is one; its id in `id`.
    Box Window(pid_t pid, const std::function<bool(const Box&)>& ok, const std::string& name = "",
               std::string* id = nullptr) const {
        const std::string search = "xdotool search --onlyvisible --pid " + std::to_string(pid) +
                                   (name.empty() ? "" : " --all --name '" + name + "'");
        Box found;
        Eventually([&] {
            std::istringstream ids(desk.Run(search));
            for (std::string w; std::getline(ids, w);) {
                Box b;
                std::sscanf(desk.Run("xdotool getwindowgeometry --shell " + w).c_str(),
                            "WINDOW=%*d X=%d Y=%d WIDTH=%d HEIGHT=%d", &b.x, &b.y, &b.w, &b.h);
                if (!ok(b)) continue;
                found = b;
                if (id != nullptr) *id = w;
                return true;
            }
            return false;
        });
        return found;
    }
    Box Window(pid_t pid, int width) const {  // the one `width` wide (the player: 321)
        return Window(pid, [width](const Box& b) { return b.w == width; });
    }
    const VirtualDisplay desk;
    const TestDaemon wm{{"openbox", "--sm-disable"}, {"DISPLAY=" + desk.Name()}, false};
    TempFolder home;
};
