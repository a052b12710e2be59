#include "app/CPlayerApp.h"

#include <QDBusConnection>

#include <QApplication>
#include <QEventLoop>
#include <QPalette>

#include "app/DesktopScreenSaver.h"
#include "app/MprisService.h"
#include "app/CommandLine.h"
#include "app/SingleInstance.h"
#include "device/MpvMediaDevice.h"
#include "device/ProcessWaveVolume.h"
#include "platform/Clock.h"
#include "platform/Log.h"
#include "platform/ProgramFolder.h"
#include "platform/QuitSignal.h"
#include "playback/WaveVolumeControl.h"
#include "player/CPlayerDlg.h"
#include "state/PlayerState.h"
#include "playlist/Playlist.h"
#include "state/Settings.h"

namespace {
// Every window of the program has a black background and white text.
void SetDialogColours() {
    QPalette palette = QApplication::palette();
    for (QPalette::ColorRole role : {QPalette::Window, QPalette::Base, QPalette::Button})
        palette.setColor(role, Qt::black);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(role, Qt::white);
    QApplication::setPalette(palette);
}
}  // namespace

int CPlayerApp::Run(const std::vector<std::string>& arguments, const std::string& startFolder, bool newInstance) {
    SetDialogColours();
    InstallQuitSignalHandlers();

    // The records live for the whole run; the device outlives the window that talks to it.
    static PlayerState state;
    static Settings settings;
    static Playlist playlist;
    // The volume of the last run, before the device starts and the first tick reads it.
    ProcessWaveVolume volume;
    LoadKeptVolume(ProgramFolder(), volume);

    // One player per session: the first owns the bus name; a later start hands its command
    // line over and ends before it builds anything heavy. Without a bus each start stands alone.
    SingleInstance instance(state);
    MprisService bus(state, settings, playlist, volume, instance);
    const QDBusConnection session = QDBusConnection::sessionBus();
    bus.Register(session);  // the objects before the name
    // The arguments that name nothing are said once, on this start's standard error.
    const CommandLineItems commandLine = ClassifyCommandLine(arguments, startFolder);
    ReportArgumentsNamingNothing(commandLine);
    const bool namesNothing = !arguments.empty() && commandLine.items.empty();
    switch (instance.Claim(session, newInstance, arguments, startFolder, namesNothing)) {
    case SingleInstance::Start::HandedOver: LogLine("handed the command line to the running player"); return 0;
    case SingleInstance::Start::NothingTaken: return 1;
    case SingleInstance::Start::Alone: bus.Unregister(); break;
    case SingleInstance::Start::Queued: break;  // the objects wait for the name
    case SingleInstance::Start::Owner: LogLine(std::string("mpris: ") + kMprisBusName + " on the session bus"); break;
    }

    // A second player on the same program folder (--new-instance, or no bus between them) is a
    // guest: it reads the state files and leaves them to the player that owns the folder.
    const bool guest = !ClaimProgramFolder(ProgramFolder());
    if (guest)
        ReportProblem("another player is using " + ProgramFolder() +
                      ": this one runs as a guest and will not save the playlist, settings or volume");

    // libmpv and its audio output start at the first open: a player with nothing open does
    // not carry them.
    MpvMediaDevice device;
    SystemClock clock;
    DesktopScreenSaver screenSaver;  // outlives the window that holds it

    {
        CPlayerDlg dialog(PlayerRecords{state, settings, playlist}, device, volume, clock,
                          MainTickSetup{ProgramFolder(), commandLine.items, guest});
        QEventLoop loop;
        QObject::connect(&dialog, &CPlayerDlg::dialogEnded, &loop, &QEventLoop::quit);
        // Each full tick lets the bus announce what changed.
        QObject::connect(&dialog, &CPlayerDlg::fullTickDone, &bus, &MprisService::Nudge);
        dialog.SetScreenSaver(screenSaver);
        dialog.OnInitDialog();
        loop.exec();
    }
    // Everything is saved. The media engine's teardown waits for its threads, and one may be
    // stuck in a read that never returns (a file on a stalled mount): it gets a bound.
    EndProcessWithin(1500, 0);
    // Saved and closed: the folder and the name go before the objects, so a start racing this
    // quit owns them.
    ReleaseProgramFolder();
    instance.Release();
    bus.Unregister();
    return 0;
}
