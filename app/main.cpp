#include <unistd.h>

#include <QApplication>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "app/CPlayerApp.h"

namespace {

const char* const kUsage =
    "Usage: velkaf [--new-instance] [--] [FILE]\n"
    "A skinned media player. FILE (a media file; several arguments are joined with blanks)\n"
    "becomes the playlist; without it the last playlist is loaded.\n"
    "One player runs per desktop session: a second start hands its files to the running player\n"
    "(or brings it up) and ends. --new-instance starts a player of its own instead.\n"
    "Settings and the last playlist are kept in KORU.CFG and KORU.tsr in the program folder\n"
    "($VELKAF_HOME, or the executable's folder when writable, else ~/.config/velkaf/).\n"
    "VELKAF_LOG=1 prints every device command and reply to standard error.\n";

}  // namespace

int main(int argc, char** argv) {
    // Options may stand anywhere before "--"; everything after it is a file name.
    std::vector<std::string> arguments;
    bool newInstance = false;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (options && argument == "--") {
            options = false;
        } else if (options && argument == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (options && argument == "--version") {
            std::printf("velkaf %s\n", VELKAF_VERSION);
            return 0;
        } else if (options && argument == "--new-instance") {
            newInstance = true;
        } else {
            arguments.emplace_back(argument);
        }
    }
    // Relative command-line paths are taken against the folder the program started in,
    // before anything changes the current folder.
    char* cwd = ::getcwd(nullptr, 0);
    const std::string startFolder = cwd != nullptr ? cwd : "/";
    std::free(cwd);

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
    return app.Run(arguments, startFolder, newInstance);
}
