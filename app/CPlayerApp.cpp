#include "app/CPlayerApp.h"

#include <QDBusConnection>

#include <QApplication>
#include <QEventLoop>
#include <QPalette>

#include "app/MprisService.h"
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
    MprisService bus(state, settings, playlist, volume);
    const QDBusConnection session = QDBusConnection::sessionBus();
    if (!bus.Register(session) && session.isConnected()) {
        if (!newInstance && HandOverToRunningPlayer(session, arguments, startFolder)) {
            LogLine("handed the command line to the running player");
            return 0;
        }
        LogLine("another player owns the session's name: this one runs without the bus");
    }

    MpvMediaDevice device;
    if (!device.Ready()) LogLine("the media device could not start: nothing will play");
    SystemClock clock;

    {
        CPlayerDlg dialog(PlayerRecords{state, settings, playlist}, device, volume, clock,
                          MainTickSetup{ProgramFolder(), arguments, startFolder});
        QEventLoop loop;
        QObject::connect(&dialog, &CPlayerDlg::dialogEnded, &loop, &QEventLoop::quit);
        // A bus call wakes the resting tick; each full tick lets the bus announce what changed.
        dialog.WakeOnCallsTo(&bus);
        QObject::connect(&dialog, &CPlayerDlg::fullTickDone, &bus, &MprisService::Nudge);
        dialog.OnInitDialog();
        loop.exec();
    }
    return 0;
}
