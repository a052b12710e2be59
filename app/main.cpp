#include <unistd.h>

#include <QApplication>
#include <QLocale>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "app/CPlayerApp.h"
#include "app/QtTranslations.h"

namespace {

const char* const kUsage =
    "Usage: velkaf [-h|--help] [--version] [--new-instance] [--] [FILE|FOLDER|LIST]...\n"
    "A skinned media player. The arguments become the playlist as a drop of them would:\n"
    "media files sorted by path, folders searched, a .m3u or .tsr list loaded. Arguments\n"
    "joined with blanks are taken as one name when that name exists (a name with blanks).\n"
    "Arguments that name nothing are reported and left out. Without arguments the last\n"
    "playlist is loaded.\n"
    "One player runs per desktop session: a second start hands its arguments to the running\n"
    "player (or brings it up) and ends. --new-instance starts a player of its own instead;\n"
    "beside a player on the same program folder it is a guest that saves nothing.\n"
    "Settings, the last playlist, the volume and the loudness mode are kept in KORU.CFG,\n"
    "KORU.tsr, KORU.vol and KORU.gain in the program folder\n"
    "($VELKAF_HOME, or the executable's folder when writable and not installed, else\n"
    "~/.config/velkaf/).\n"
    "Japanese sound and subtitles are chosen first; in the player's windows B chooses the\n"
    "next audio track and V the next subtitle track (or none).\n"
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
        } else if (options && (argument == "--help" || argument == "-h")) {
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
    // The skin's windows are small and repainted several times a second while playing: a plain
    // put of their pixels costs less than the round trip Qt makes before each paint into a
    // shared-memory backing store. Video frames take their own shared-memory path.
    setenv("QT_XCB_NO_MITSHM", "1", 0);

    QApplication application(argc, argv);
    // libmpv refuses to start unless numbers are formatted the C way; QApplication has just
    // set the locale from the environment, so put LC_NUMERIC back here, once.
    std::setlocale(LC_NUMERIC, "C");
    // Qt's own dialogs (file dialogs, message boxes) in the user's language.
    InstallQtTranslations(application, QLocale::system());
    // The desktop matches windows to the menu entry (and its icon) by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral(VELKAF_APP_ID));

    CPlayerApp app;
    const int code = app.Run(arguments, startFolder, newInstance);
    // Everything the player keeps is saved and synced, its windows are gone and the media
    // device is shut down: the process ends here, without the libraries' teardown (Qt's font
    // database teardown alone loads fontconfig's whole configuration just to free it, about
    // 100 ms on a player that never drew text through it). The kernel closes the display and
    // bus connections.
    std::fflush(nullptr);
    std::_Exit(code);
}
