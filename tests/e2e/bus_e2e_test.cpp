// What other programs on the session bus can do to the player and learn of it: a private bus per test, this program
// the client, calling the player's object as another program on the bus would.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QByteArray>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QUrl>
#include <cmath>
#include <fstream>
#include <limits>
#include <optional>
#include <thread>
#include "tests/e2e/PlayerProcess.h"
#include "tests/support/QtTestApp.h"

namespace {
const QString kName = QStringLiteral("org.mpris.MediaPlayer2.velkaf");
const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
const char* const kInvalidArgs = "org.freedesktop.DBus.Error.InvalidArgs";
const char* const kReadOnly = "org.freedesktop.DBus.Error.PropertyReadOnly";
using Limits = std::numeric_limits<qlonglong>;

// A private bus that is up (the test skips without dbus-daemon) and this test's connection to it, the client;
// `home` holds one.wav (10 s) and four.wav (1 s).
class BusE2E : public ::testing::Test {
protected:
    void SetUp() override {
        SKIP_WITHOUT("dbus-daemon");
        TestApplication();
        const QString address = QString::fromStdString(bus.FirstLine());
        m_connection = QDBusConnection::connectToBus(address, address);  // named by its bus, new in every test
        ASSERT_TRUE(m_connection.isConnected());
        for (auto [n, s] : {std::pair{"one.wav", 10.0}, {"four.wav", 1.0}}) WriteToneWav(home.path() + n, s, 440, 0.2);
    }
    bool NameOwned() { return m_connection.interface()->isServiceRegistered(kName); }
    // The error's name of a call on the player, or "" for a reply.
    std::string Error(const char* method, const QVariantList& args) { return Error(Call(kPlayer, method, args)); }
    std::string Set(const char* property, const QVariant& value) {
        const QVariant wrapped = QVariant::fromValue(QDBusVariant(value));
        return Error(Call(kProperties, "Set", {kPlayer, QString::fromLatin1(property), wrapped}));
    }
    QVariant Get(const char* property, const QString& interface = kPlayer) {
        const QDBusMessage reply = Call(kProperties, "Get", {interface, QString::fromLatin1(property)});
        const QVariant value = reply.arguments().value(0).value<QDBusVariant>().variant();
        // A map arrives still marshalled; opened here so that two reads compare by value.
        return value.canConvert<QDBusArgument>() ? QVariant(qdbus_cast<QVariantMap>(value)) : value;
    }
    QDBusMessage Call(const QString& interface, const char* method, const QVariantList& arguments) {
        QDBusMessage call = QDBusMessage::createMethodCall(kName, kPath, interface, QString::fromLatin1(method));
        call.setArguments(arguments);
        return m_connection.call(call, QDBus::Block, 10000);
    }
    static std::string Error(const QDBusMessage& reply) {
        return reply.type() == QDBusMessage::ErrorMessage ? reply.errorName().toStdString() : "";
    }
    const SessionBus bus;
    TempFolder home, secondHome;
    QDBusConnection m_connection{QString()};
};

// On a private session bus and display, playerctl (as media keys and sound applets) drives the player.
TEST_F(BusE2E, PlayerctlDrivesThePlayerAsTheSkinDoes) {
    SKIP_WITHOUT("playerctl", "Xvfb", "xdotool");
    const VirtualDisplay display("800x600");
    ASSERT_FALSE(display.Name().empty());
    WriteToneWav(home.path() + "one.wav", 4.0, 440.0, 0.2);  // with an ID3v1 tag in its last bytes
    std::ofstream(home.path() + "one.wav", std::ios::binary | std::ios::app) << Id3v1Block("Song One", "Singer One");
    for (auto [n, hz] : {std::pair{"two.wav", 550.}, {"three.wav", 660.}}) WriteToneWav(home.path() + n, 4.0, hz, 0.2);
    WriteStateFiles(home.path(), {home.path() + "one.wav", home.path() + "two.wav", home.path() + "three.wav"}, "");
    PlayerProcess player(home.path(), {}, display.Environment({bus.Environment()}));
    ASSERT_TRUE(player.WaitForLog("on the session bus", 20s)) << player.Log();
    const auto ctl = [&](const std::string& args) { return bus.Run("playerctl -p velkaf " + args); };
    // A playerctl command, or xdotool's click on the skin's STILL or PLAY (the window at 0, 0); then the
    // log holds `logged` `n` times, and playerctl's `asks` answers `answer`. Play/pause is the skin's toggle.
    struct Step { std::string run = {}, logged = {}; int n = 1; std::string asks = "status", answer = {}; };
    const Step steps[] = {
        {.asks = "metadata --format '{{title}}|{{artist}}|{{mpris:length}}'", .answer = "Song One|Singer One|4000000"},
        {.answer = "Playing"},
        {.run = "play-pause", .logged = "mpris: PlayPause -> toggle request", .answer = "Paused"},
        {.logged = "mci> pause movie"},
        {.run = "play-pause", .answer = "Playing"},
        {.run = "position 2", .logged = "mci> play movie from 2000"},
        {.run = "next", .logged = "mci> open \"two.wav\""},
        {.asks = "metadata --format '{{title}}'", .answer = "two.wav"},
        {.run = "previous", .logged = "mci> open \"one.wav\"", .n = 2},
        {.run = "loop None", .asks = "loop", .answer = "None"},  // saved once a tick has run: after the clicks'
        {.run = "shuffle On", .asks = "shuffle", .answer = "On"},
        {.run = "xdotool mousemove 289 30 click 1", .answer = "Paused"},
        {.run = "xdotool mousemove 254 57 click 1", .answer = "Playing"},
    };
    for (const Step& s : steps) {
        if (!s.run.empty()) s.run.starts_with("xdotool ") ? display.Run(s.run) : ctl(s.run);
        const bool logged = Eventually([&] { return s.logged.empty() || CountOf(player.Log(), s.logged) >= s.n; });
        EXPECT_TRUE(logged) << s.run << ": " << s.logged << "\n" << player.Log();
        EXPECT_TRUE(s.answer.empty() || Eventually([&] { return ctl(s.asks) == s.answer; })) << s.run << ctl(s.asks);
    }
    ASSERT_EQ(player.Quit(), 0) << player.Log();
    const std::string settings = home.Read("KORU.CFG");
    EXPECT_NE(settings.find("\r\nRandom=1\r\nRepeat=0\r\n"), std::string::npos) << settings;
}
// One player on one.wav, paused once the track is open: Position and Metadata (its length) hold still under the
// tables. OpenUri takes only a media or list file, every writable property only its type (a read right after sees the
// set), seeks saturate at the ends and positions outside the track are ignored; the list stays as it was.
TEST_F(BusE2E, EveryCallAndWritablePropertyTakesOnlyItsTypesAndTheListStays) {
    home.Write("empty.m3u", "#EXTM3U\r\n");
    // Six entries: turning Shuffle on moves the list's index, most often off the open entry 0 that the ids still name.
    WriteStateFiles(home.path(), std::vector<std::string>(6, home.path() + "one.wav"), "Repeat=0");
    const std::string list = home.Read("KORU.tsr");
    PlayerProcess player(home.path(), {}, {bus.Environment()});
    ASSERT_TRUE(player.WaitForLog("on the session bus", 20s)) << player.Log();
    ASSERT_TRUE(Eventually([&] { return Get("CanSeek").toBool(); })) << player.Log();
    ASSERT_EQ(Error("Pause", {}), "");
    ASSERT_TRUE(player.WaitForLog("mci> pause movie", 10s)) << player.Log();
    const QString root = QStringLiteral("org.mpris.MediaPlayer2");
    EXPECT_EQ(Get("SupportedUriSchemes", root).toStringList(), QStringList{QStringLiteral("file")});
    const QStringList types = Get("SupportedMimeTypes", root).toStringList();
    EXPECT_TRUE(types.contains(QStringLiteral("audio/mpeg")) && types.contains(QStringLiteral("audio/x-mpegurl")));
    const std::string h = "file://" + home.path(), big = "file:///" + std::string(10 << 20, 'a') + ".wav";
    const std::string uris[] = {"file:///etc/passwd", "file:///dev/zero", h, "http://example.com/one.wav",
                                h + "gone.wav", h + "empty.m3u", big, "file://otherhost" + home.path() + "one.wav"};
    for (const std::string& uri : uris)
        EXPECT_EQ(Error("OpenUri", {QString::fromStdString(uri)}), kInvalidArgs) << uri.substr(0, 80);
    // A name of 10 MB is refused unread, not answered as an unknown property it would echo.
    EXPECT_EQ(Set(std::string(10 << 20, 'x').c_str(), true), kInvalidArgs);
    // `error` "" for a reply; `read` what a Get right after answers, when invalid what it answered before.
    struct Property { const char* property; QVariant value; std::string error; QVariant read; };
    const Property properties[] = {
        {.property = "Volume", .value = 0.5, .error = "", .read = 32768 / 65535.0},  // kept as 32768 of 65535
        {.property = "Volume", .value = QStringLiteral("loud"), .error = kInvalidArgs, .read = {}},
        {.property = "Volume", .value = 1, .error = kInvalidArgs, .read = {}},
        {.property = "Volume", .value = std::nan(""), .error = kInvalidArgs, .read = {}},
        {.property = "Volume", .value = -3.0, .error = "", .read = 0.0},
        {.property = "Volume", .value = 7.0, .error = "", .read = 1.0},
        {.property = "Shuffle", .value = QStringLiteral("true"), .error = kInvalidArgs, .read = {}},
        {.property = "Shuffle", .value = true, .error = "", .read = true},
        {.property = "LoopStatus", .value = 1, .error = kInvalidArgs, .read = {}},
        {.property = "LoopStatus", .value = QStringLiteral("Bogus"), .error = kInvalidArgs, .read = {}},
        {.property = "LoopStatus", .value = QStringLiteral("Track"), .error = "", .read = QStringLiteral("Playlist")},
        {.property = "LoopStatus", .value = QStringLiteral("None"), .error = "", .read = QStringLiteral("None")},
        {.property = "Rate", .value = 2.0, .error = kInvalidArgs, .read = {}},
        {.property = "Rate", .value = QStringLiteral("1"), .error = kInvalidArgs, .read = {}},
        {.property = "Rate", .value = 1.0, .error = "", .read = 1.0},
        {.property = "CanPlay", .value = true, .error = kReadOnly, .read = {}},
        {.property = "Position", .value = qlonglong(0), .error = kReadOnly, .read = {}},
        {.property = "Metadata", .value = QVariantMap(), .error = kReadOnly, .read = {}},
        {.property = "NoSuch", .value = 1.0, .error = "org.freedesktop.DBus.Error.UnknownProperty", .read = {}},
    };
    for (const Property& c : properties) {
        const QVariant before = Get(c.property);
        const std::string what = c.property + (" " + c.value.toString().toStdString());
        EXPECT_EQ(Set(c.property, c.value), c.error) << what;
        const QVariant after = Get(c.property), expected = c.read.isValid() ? c.read : before;
        if (expected.metaType().id() != QMetaType::Double) EXPECT_EQ(after, expected) << what;
        else EXPECT_NEAR(after.toDouble(), expected.toDouble(), 1e-9) << what;
    }
    const QVariant track = QVariant::fromValue(QDBusObjectPath(QStringLiteral("/org/velkaf/velkaf/track/0")));
    const QVariant stale = QVariant::fromValue(QDBusObjectPath(QStringLiteral("/org/velkaf/velkaf/track/7")));
    // `sent`: the device command it leads to, if any; `us`: Position right after (where SetPosition left it).
    struct Step { const char* method; QVariantList args = {}; std::string error = {}, sent = {}; qlonglong us = 4e6; };
    const Step steps[] = {
        {.method = "Seek", .args = {Limits::min()}, .sent = "seek movie to 0", .us = 0},
        {.method = "SetPosition", .args = {track, qlonglong(4'000'000)}, .sent = "seek movie to 4000"},
        {.method = "SetPosition", .args = {track, qlonglong(-1)}},
        {.method = "SetPosition", .args = {track, Limits::max()}},
        {.method = "SetPosition", .args = {stale, qlonglong(0)}},
        {.method = "Seek", .args = {QStringLiteral("far")}, .error = kInvalidArgs},
        {.method = "SetPosition", .args = {track, 1.5}, .error = kInvalidArgs},
        {.method = "OpenUri", .args = {7}, .error = kInvalidArgs},
        {.method = "Next", .args = {1}, .error = kInvalidArgs},
        {.method = "Skip", .args = {}, .error = "org.freedesktop.DBus.Error.UnknownMethod"},
        {.method = "Seek", .args = {qlonglong(-5'000'000)}, .sent = "seek movie to 0", .us = 0},
        {.method = "Seek", .args = {Limits::max()}, .sent = "seek movie to 10000", .us = 10'000'000},
    };
    for (const Step& c : steps) {
        const int before = CountOf(player.Log(), "mci> seek movie to ");
        EXPECT_EQ(Error(c.method, c.args), c.error) << c.method;
        EXPECT_EQ(Get("Position").toLongLong(), c.us) << c.method;
        // Until the seek is sent, or several full ticks in which none may be.
        Eventually([&] { return CountOf(player.Log(), "mci> seek movie to ") > before; }, c.sent.empty() ? 300ms : 10s);
        const std::string log = player.Log();
        const int seeks = CountOf(log, "mci> seek movie to ");
        const size_t last = log.rfind("mci> seek movie to ") + 5, end = log.find_first_of(" \n", last + 14);
        EXPECT_EQ(seeks, before + !c.sent.empty()) << c.method;
        EXPECT_EQ(seeks > before ? log.substr(last, end - last) : "", c.sent) << c.method;
    }
    ASSERT_EQ(player.Quit(), 0) << player.Log();
    // Several full ticks have run since the refused OpenUri calls: nothing may have been waiting.
    EXPECT_EQ(CountOf(player.Log(), "hand-over carried out"), 0) << player.Log();
    EXPECT_EQ(home.Read("KORU.tsr"), list);
}

// A start while the first player quits: it gives the name up before its objects; the new one hands over or owns it.
TEST_F(BusE2E, AStartRacingAQuitEndsWithExactlyOnePlayerOnTheBus) {
    for (const auto delay : {0ms, 30ms, 120ms}) {
        TempFolder firstHome, laterHome;  // fresh each round
        PlayerProcess first(firstHome.path(), {}, {bus.Environment()});
        ASSERT_TRUE(first.WaitForLog("on the session bus", 20s)) << first.Log();
        ASSERT_TRUE(first.WaitForQuitHandler(10s));
        first.Signal(SIGTERM);
        std::this_thread::sleep_for(delay);
        PlayerProcess second(laterHome.path(), {home.path() + "one.wav"}, {bus.Environment()});
        EXPECT_EQ(first.WaitForExit(20s), 0) << first.Log();
        ASSERT_TRUE(second.WaitForLog("on the session bus", 20s)) << delay.count() << " ms\n" << second.Log();
        EXPECT_TRUE(NameOwned());
        EXPECT_TRUE(second.WaitForLog("mci> open \"one.wav\"", 20s)) << second.Log();
        ASSERT_EQ(second.Quit(), 0) << second.Log();
        EXPECT_FALSE(NameOwned()) << "the name went with the last player";
    }
}

// A start that cannot hand over (the owner is stopped) runs queued for the name and owns it once the owner is gone.
TEST_F(BusE2E, AStartThatCannotHandOverOwnsTheNameWhenTheOwnerLeaves) {
    PlayerProcess first(home.path(), {}, {bus.Environment()});
    ASSERT_TRUE(first.WaitForLog("on the session bus", 20s)) << first.Log();
    first.Signal(SIGSTOP);
    PlayerProcess second(secondHome.path(), {home.path() + "one.wav"}, {bus.Environment()});
    EXPECT_TRUE(second.WaitForLog("mci> open \"one.wav\"", 20s)) << second.Log();
    EXPECT_EQ(CountOf(second.Log(), "on the session bus"), 0) << second.Log();
    first.Signal(SIGKILL);
    EXPECT_TRUE(second.WaitForLog("on the session bus", 10s)) << second.Log();
    EXPECT_TRUE(NameOwned());
    ASSERT_EQ(second.Quit(), 0) << second.Log();
}

TEST_F(BusE2E, AHandOverWithTheEditorOpenPlaysTheHandedFile) {
    SKIP_WITHOUT("Xvfb", "xdotool");
    const VirtualDisplay display("800x600");
    // A UTF-8 locale, as on a desktop: the editor's title is then searchable by name.
    const std::vector<std::string> env = display.Environment({bus.Environment(), "LANG=C.UTF-8"});
    WriteStateFiles(home.path(), {home.path() + "one.wav"}, "Repeat=0");
    PlayerProcess player(home.path(), {}, env);
    ASSERT_TRUE(player.WaitForLog("on the session bus", 20s)) << player.Log();
    display.Run("xdotool mousemove --window " + display.Window(player.pid()) + " 220 30 click 3");
    ASSERT_TRUE(Eventually([&] { return !display.Run("xdotool search --onlyvisible --name 'ツラネ丸'").empty(); }))
        << "the editor did not open\n" << player.Log();
    PlayerProcess second(secondHome.path(), {home.path() + "four.wav", home.path() + "nothing.wav"}, env);
    EXPECT_EQ(second.WaitForExit(20s), 0) << second.Log();
    EXPECT_EQ(CountOf(second.Log(), "nothing.wav: no such file or folder"), 1) << second.Log();
    EXPECT_TRUE(player.WaitForLog("hand-over carried out: 1 items, shown in the editor", 10s)) << player.Log();
    EXPECT_TRUE(player.WaitForLog("mci> open \"four.wav\"", 10s)) << player.Log();
    PlayerProcess nothing(secondHome.path(), {home.path() + "nothing.wav"}, env);
    EXPECT_EQ(nothing.WaitForExit(20s), 1) << nothing.Log();
    ASSERT_EQ(player.Quit(), 0) << player.Log();
    EXPECT_EQ(home.Read("KORU.tsr"), home.path() + "four.wav\r\n");
}

// Files whose read never finishes count as tracks that will not play: a link to /proc/kmsg (it serves what it holds,
// then blocks), a FIFO without a writer, and a FUSE file whose first bytes read and whose later reads never answer (as
// on a stalled network mount: libmpv's core is left stuck in the read, and the stuck thread keeps the process in the
// kernel until the mount answers). The next file after each plays within 7 s, the main window answers the bus within
// 300 ms all the while, SIGTERM saves and lets the folder go within 2 s, and the next start owns the folder.
TEST_F(BusE2E, FilesWhoseReadsBlockOrStallNeverHoldThePlayer) {
    if (::geteuid() != 0 || ::access("/dev/fuse", R_OK | W_OK) != 0) GTEST_SKIP() << "needs root and /dev/fuse";
    SKIP_WITHOUT("ffmpeg", "fusermount3", "python3-fuse");
    const std::string mnt = home.path() + "mnt/", slow = home.path() + "slow.mp3", good = home.path() + "four.wav";
    ShellOutput("ffmpeg -v error -f lavfi -i sine=frequency=440:duration=3 -c:a libmp3lame '" + slow + "'");
    std::filesystem::create_directory(mnt);
    std::filesystem::create_symlink("/proc/kmsg", home.path() + "x.mp3");
    ASSERT_EQ(::mkfifo((home.path() + "y.mp3").c_str(), 0600), 0);
    std::optional<PlayerProcess> player, next;  // go after the mount: a stuck thread waits for it
    std::optional<TestDaemon> mount(std::in_place, std::vector<std::string>{"/usr/bin/python3",
                                    VELKAF_SOURCE_DIR "/tests/e2e/stalling_mount.py", slow, "8192", mnt});
    ASSERT_EQ(mount->FirstLine(), "mounted");
    WriteStateFiles(home.path(), {home.path() + "x.mp3", home.path() + "y.mp3", mnt + "slow.mp3", good}, "Repeat=0");
    player.emplace(home.path(), std::vector<std::string>{}, std::vector<std::string>{bus.Environment()});
    ASSERT_TRUE(player->WaitForLog("on the session bus", 20s)) << player->Log();
    std::chrono::steady_clock::duration slowest{};  // of the answers to a Get, asked every 50 ms all the while
    const auto answeringUntil = [&](const std::string& line) {  // at most 7 s
        return Eventually([&] {
            const auto asked = std::chrono::steady_clock::now();
            EXPECT_TRUE(Get("PlaybackStatus").isValid());
            slowest = std::max(slowest, std::chrono::steady_clock::now() - asked);
            return player->Log().find(line) != std::string::npos;
        }, 7s);
    };
    EXPECT_TRUE(answeringUntil("mci> open \"slow.mp3\"")) << "the link and the FIFO passed over\n" << player->Log();
    EXPECT_TRUE(answeringUntil("device: opened " + good)) << player->Log();
    EXPECT_EQ(CountOf(player->Log(), "the media engine is stuck in a file's read"), 1) << player->Log();
    EXPECT_LT(slowest, 300ms);
    player->Signal(SIGTERM);
    EXPECT_TRUE(player->WaitForLog("quit: list and settings saved", 2s)) << player->Log();
    std::this_thread::sleep_for(300ms);
    next.emplace(home.path(), std::vector<std::string>{}, std::vector<std::string>{bus.Environment()});
    ASSERT_TRUE(next->WaitForLog("first tick done", 20s)) << next->Log();
    EXPECT_EQ(next->Log().find("guest"), std::string::npos) << next->Log();
    next->Signal(SIGTERM);
    EXPECT_TRUE(next->WaitForLog("quit: list and settings saved", 5s)) << next->Log();
    ShellOutput("fusermount3 -u -z '" + mnt + "'");
    mount.reset();
    EXPECT_EQ(player->WaitForExit(10s), 0) << player->Log();
    EXPECT_EQ(next->WaitForExit(10s), 0) << next->Log();
}

// The file a file:// URL names, as bytes.
std::string UrlPath(const QString& url) {
    const QUrl u(url, QUrl::StrictMode);
    if (!u.isValid() || !u.isLocalFile()) return "not a file URL: " + url.toStdString();
    return QByteArray::fromPercentEncoding(u.path(QUrl::FullyEncoded).toLatin1()).toStdString();
}

// What the desktop learns of the track that plays: album, numbers, artists, cover, raw path (tagged_media.py's media).
TEST_F(BusE2E, TheBusCarriesAlbumNumbersEveryArtistTheCoverAndTheRawPath) {
    SKIP_WITHOUT("ffmpeg", "python3-mutagen");
    TempFolder media, cache;
    ASSERT_EQ(ShellOutput("/usr/bin/python3 " VELKAF_SOURCE_DIR "/tests/e2e/tagged_media.py '" + media.path() +
                          "' && echo ok"), "ok");
    // The third named in Shift-JIS ("テスト"): bytes no UTF-8 decoder keeps.
    const std::string mp3 = media.path() + "a/album.mp3", flac = media.path() + "b/plain.flac",
                      sjis = media.Write("c/\x83\x65\x83\x58\x83\x67.wav", "");
    WriteToneWav(sjis, 1.0, 440, 0.2);
    WriteStateFiles(home.path(), {mp3, flac, sjis}, "");
    PlayerProcess player(home.path(), {}, {bus.Environment(), "XDG_CACHE_HOME=" + cache.path()});
    ASSERT_TRUE(player.WaitForLog("on the session bus", 20s)) << player.Log();

    QVariantMap m;  // the list is read after the name is taken
    const auto metadata = [&] { return m = Get("Metadata").toMap(); };
    ASSERT_TRUE(Eventually([&] { return metadata().value("xesam:title").toString() == "Song"; })) << player.Log();
    EXPECT_EQ(m.value("xesam:artist").toStringList(), (QStringList{"piman", "jzig"})) << "two list items";
    EXPECT_EQ(m.value("xesam:album").toString(), QStringLiteral("アルバム"));
    EXPECT_EQ(m.value("xesam:albumArtist").toStringList(), QStringList{"Various"});
    EXPECT_EQ(m.value("xesam:genre").toStringList(), QStringList{"Ambient"});
    EXPECT_EQ(std::pair(m.value("xesam:trackNumber").toInt(), m.value("xesam:discNumber").toInt()), std::pair(3, 2));
    const std::string cover = UrlPath(m.value("mpris:artUrl").toString());
    ASSERT_TRUE(cover.starts_with(cache.path() + "velkaf/covers/")) << cover;
    EXPECT_EQ(cache.Read(cover.substr(cache.path().size())), media.Read("embedded.png")) << "the front cover, not back";
    EXPECT_EQ(UrlPath(m.value("xesam:url").toString()), mp3);
    EXPECT_GT(CountOf(player.Log(), "title line 2: Song ： piman／jzig  |"), 0) << "the title line's two artists";

    // The list plays on: the FLAC has no picture but a cover.jpg beside it.
    ASSERT_TRUE(Eventually([&] { return metadata().value("xesam:title").toString() == "Plain"; }));
    EXPECT_EQ(UrlPath(m.value("mpris:artUrl").toString()), media.path() + "b/cover.jpg") << "cover before Front";
    EXPECT_FALSE(m.contains("xesam:album") || m.contains("xesam:artist") || m.contains("xesam:trackNumber"));

    ASSERT_TRUE(Eventually([&] { return UrlPath(metadata().value("xesam:url").toString()) == sjis; }))
        << m.value("xesam:url").toString().toStdString() << player.Log();
    EXPECT_FALSE(m.value("xesam:url").toString().contains("%EF%BF%BD"));
    EXPECT_FALSE(m.contains("mpris:artUrl"));
    EXPECT_EQ(player.Quit(), 0) << player.Log();
    EXPECT_EQ(CountOf(ShellOutput("ls '" + cache.path() + "velkaf/covers'"), ".png"), 1) << "written once";
}
}  // namespace
