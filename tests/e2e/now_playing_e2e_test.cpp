// What the desktop learns of the track that plays: the bus's metadata (album, numbers, artists, cover, raw URL).
#include <QByteArray>
#include <QUrl>
#include "tests/e2e/BusClient.h"

namespace {
// The file a file:// URL names, as bytes.
std::string UrlPath(const QString& url) {
    const QUrl u(url, QUrl::StrictMode);
    if (!u.isValid() || !u.isLocalFile()) return "not a file URL: " + url.toStdString();
    return QByteArray::fromPercentEncoding(u.path(QUrl::FullyEncoded).toLatin1()).toStdString();
}

TEST(NowPlayingE2E, TheBusCarriesAlbumNumbersEveryArtistTheCoverAndTheRawPath) {
    SKIP_WITHOUT("dbus-daemon", "ffmpeg", "python3-mutagen");
    TempFolder home, media, cache;
    ASSERT_EQ(ShellOutput("/usr/bin/python3 " VELKAF_SOURCE_DIR "/tests/e2e/tagged_media.py '" + media.path() +
                          "' && echo ok"), "ok");
    // The third named in Shift-JIS ("テスト"): bytes no UTF-8 decoder keeps.
    const std::string mp3 = media.path() + "a/album.mp3", flac = media.path() + "b/plain.flac",
                      sjis = media.Write("c/\x83\x65\x83\x58\x83\x67.wav", "");
    WriteToneWav(sjis, 1.0, 440, 0.2);
    WriteStateFiles(home.path(), {mp3, flac, sjis}, "");
    PrivateBus bus;
    PlayerProcess player(home.path(), {}, {bus.Environment(), "XDG_CACHE_HOME=" + cache.path()});
    ASSERT_TRUE(player.WaitForLog("on the session bus", 20s)) << player.Log();

    QVariantMap m;  // the list is read after the name is taken
    const auto metadata = [&] { return m = bus.Get("Metadata").toMap(); };
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
