// The main window's timer rests while nothing can change and wakes on what may change the
// player: a key after a long rest acts on the first call, a scrolling title never lets it
// rest, and a bus call or a hand-over made while it rests is carried out.
#include <gtest/gtest.h>
#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QMimeData>
#include <QProcess>
#include <QTest>
#include <functional>
#include "app/MprisService.h"
#include "app/SingleInstance.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/WaveVolume.h"
#include "player/CPlayerDlg.h"
#include "playlist/Playlist.h"
#include "state/PlayerState.h"
#include "state/Settings.h"
#include "tests/support/QtTestApp.h"
#include "tests/support/ScriptedMediaDevice.h"
#include "tests/support/TestSupport.h"

namespace {

using Strings = std::vector<std::string>;

// A wave volume whose writes go into the device's command list, so that one list tells the
// order of the key poll's volume steps and the full tick's position queries.
struct LoggedVolume final : WaveVolume {
    explicit LoggedVolume(ScriptedMediaDevice& device) : device(device) {}
    bool Get(uint32_t& volume) override { return volume = value, true; }
    bool Set(uint32_t volume) override {
        return device.sent.push_back("volume " + std::to_string(value = volume)), true;
    }
    ScriptedMediaDevice& device;
    uint32_t value = 0x40004000u;
};

// A started player with an empty list, nothing open, over a scripted device standing at 5200
// of 100000 ms, its timer resting (it checks its rest every minute only: only a wake ends it).
struct RestingWindow {
    RestingWindow() {
        TestApplication();
        folder.Write("KORU.sys", *ReadWholeFile(std::string(VELKAF_SOURCE_DIR) + "/res/KORU.sys"));
        device.Answer("status movie position", "5200");
        device.Answer("status movie length", "100000");
        device.Answer("status movie mode", "paused");
        dialog = std::make_unique<CPlayerDlg>(PlayerRecords{state, settings, playlist}, device, volume, clock,
                                              MainTickSetup{folder.path(), {}, "/"});
        dialog->OnInitDialog();
        EXPECT_TRUE(RunUntil([&] { return state.firstTickDone == 1; }));
        dialog->SetRestCheckInterval(60000);
        EXPECT_TRUE(RunUntil([&] { return dialog->Resting(); }));
    }
    bool RunUntil(const std::function<bool()>& done) { return QTest::qWaitFor(done, 3000); }

    CurrentFolderGuard cwd;
    TempFolder folder;
    PlayerState state;
    Settings settings;
    Playlist playlist;
    ScriptedMediaDevice device;
    LoggedVolume volume{device};
    SystemClock clock;
    std::unique_ptr<CPlayerDlg> dialog;
};

// A private session bus for the test's own player.
struct PrivateBus {
    PrivateBus() {
        daemon.start(QStringLiteral("dbus-daemon"),
                     {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
                      QStringLiteral("--print-address=1")});
        if (daemon.waitForReadyRead(5000)) address = QString::fromUtf8(daemon.readLine()).trimmed();
    }
    ~PrivateBus() {
        daemon.terminate();
        daemon.waitForFinished(5000);
    }
    QProcess daemon;
    QString address;
};

// After a rest of 40 timer periods N, held, lowers the volume once and the same timer call
// runs the full tick (its position query), not four calls later.
TEST(TickRestTest, KeyAfterALongRestActsOnTheFirstCall) {
    RestingWindow w;
    QTest::qWait(1200);
    EXPECT_TRUE(w.dialog->Resting());
    w.device.ClearSent();
    QTest::keyPress(w.dialog.get(), Qt::Key_N);
    ASSERT_TRUE(w.RunUntil([&] { return w.device.sent.size() >= 2; }));
    QTest::keyRelease(w.dialog.get(), Qt::Key_N);
    EXPECT_EQ(Strings(w.device.sent.begin(), w.device.sent.begin() + 2),
              (Strings{"volume " + std::to_string(0x39553955u), "status movie position"}));
    EXPECT_FALSE(w.dialog->Resting()) << "rests only after a full tick with the key up";
    EXPECT_TRUE(w.RunUntil([&] { return w.dialog->Resting(); }));
}

// A dropped folder plays: the ticker steps on every full tick and the timer never rests,
// playing or paused (the picture changes with every step).
TEST(TickRestTest, ScrollingTitleKeepsScrolling) {
    RestingWindow w;
    w.folder.Write("album/a.wav", "RIFF");
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(w.folder.path() + "album"))});
    QDragEnterEvent enter(QPoint(100, 40), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QDropEvent drop(QPointF(100, 40), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w.dialog.get(), &enter), QApplication::sendEvent(w.dialog.get(), &drop);
    ASSERT_EQ(w.playlist.count, 1);
    for (const int paused : {0, 1}) {
        w.state.paused = paused;
        const int from = w.state.marqueeOffset;
        const QImage before = w.dialog->PresentedPicture();
        QTest::qWait(1000);
        EXPECT_FALSE(w.dialog->Resting()) << paused;
        EXPECT_GE(w.state.marqueeOffset - from, 5) << paused;  // one step every 150 ms
        EXPECT_NE(w.dialog->PresentedPicture(), before) << paused;
    }
}

// Calls on the bus while the timer rests: the volume and a hand-over of a file are carried out.
TEST(TickRestTest, BusCallWhileRestingIsCarriedOut) {
    PrivateBus bus;
    ASSERT_FALSE(bus.address.isEmpty()) << "dbus-daemon did not start";
    struct Case {
        const char* name;
        std::function<QDBusMessage(const std::string& folder)> call;
        std::function<bool(const RestingWindow&)> done;
    };
    const Case cases[] = {
        {.name = "Volume",
         .call =
             [](const std::string&) {
                 QDBusMessage m = QDBusMessage::createMethodCall(kMprisBusName, kMprisObjectPath,
                                                                 "org.freedesktop.DBus.Properties", "Set");
                 return m << "org.mpris.MediaPlayer2.Player"
                          << "Volume" << QVariant::fromValue(QDBusVariant(0.5));
             },
         .done = [](const RestingWindow& w) { return w.volume.value == 0x80008000u; }},
        {.name = "HandOver",
         .call =
             [](const std::string& folder) {
                 QDBusMessage m =
                     QDBusMessage::createMethodCall(kMprisBusName, kInstanceObjectPath, kInstanceInterface, "HandOver");
                 return m << QVariant::fromValue(QList<QByteArray>{"tone.wav"}) << QByteArray::fromStdString(folder);
             },
         .done =
             [](const RestingWindow& w) {
                 return std::count(w.device.sent.begin(), w.device.sent.end(),
                                   "open \"tone.wav\" type mpegvideo alias movie") == 1;
             }},
    };
    for (const Case& c : cases) {
        RestingWindow w;
        w.folder.Write("tone.wav", "RIFF");
        const QDBusConnection player =
            QDBusConnection::connectToBus(bus.address, QStringLiteral("player-%1").arg(c.name));
        const QDBusConnection client =
            QDBusConnection::connectToBus(bus.address, QStringLiteral("client-%1").arg(c.name));
        SingleInstance instance(w.state);
        MprisService service(w.state, w.settings, w.playlist, w.volume, instance);
        ASSERT_TRUE(service.Register(player)) << c.name;
        ASSERT_EQ(instance.Claim(player, false, {}, w.folder.path()), SingleInstance::Start::Owner) << c.name;
        w.dialog->WakeOnCallsTo(&service), w.dialog->WakeOnCallsTo(&instance);
        ASSERT_TRUE(w.RunUntil([&] { return w.dialog->Resting(); })) << c.name;
        client.asyncCall(c.call(w.folder.path()));
        EXPECT_TRUE(w.RunUntil([&] { return c.done(w); })) << c.name;
        QDBusConnection::disconnectFromBus(QStringLiteral("player-%1").arg(c.name));
        QDBusConnection::disconnectFromBus(QStringLiteral("client-%1").arg(c.name));
    }
}

}  // namespace
