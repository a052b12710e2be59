#include <unistd.h>

#include <QApplication>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/CPlayerApp.h"

namespace {

const char* const kUsage =
    "Usage: velkaf [FILE]\n"
    "A skinned media player. FILE (a media file; several arguments are joined with blanks)\n"
    "becomes the playlist; without it the last playlist is loaded.\n"
    "Settings and the last playlist are kept in KORU.CFG and KORU.tsr in the program folder\n"
    "($VELKAF_HOME, or the executable's folder when writable, else ~/.config/velkaf/).\n"
    "VELKAF_LOG=1 prints every device command and reply to standard error.\n";

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("velkaf %s\n", VELKAF_VERSION);
            return 0;
        }
    }
    // Relative command-line paths are taken against the folder the program started in,
    // before anything changes the current folder.
    char* cwd = ::getcwd(nullptr, 0);
    const std::string startFolder = cwd != nullptr ? cwd : "/";
    std::free(cwd);
    std::vector<std::string> arguments(argv + 1, argv + argc);

    // Window positions are kept only where the application may place its windows: prefer X11
    // (XWayland too) over native Wayland, unless the user chose a platform.
    if (std::getenv("QT_QPA_PLATFORM") == nullptr && std::getenv("DISPLAY") != nullptr)
        setenv("QT_QPA_PLATFORM", "xcb", 0);

    QApplication application(argc, argv);
    // libmpv refuses to start unless numbers are formatted the C way; QApplication has just
    // set the locale from the environment, so put LC_NUMERIC back here, once.
    std::setlocale(LC_NUMERIC, "C");
    // The desktop matches windows to the menu entry (and its icon) by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral(VELKAF_APP_ID));

    CPlayerApp app;
    return app.Run(arguments, startFolder);
}
