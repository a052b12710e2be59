#include "app/MprisService.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QUrl>
#include <algorithm>
#include <cmath>

#include "media/TrackTag.h"
#include "platform/Log.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "platform/WaveVolume.h"
#include "playback/BusRequests.h"
#include "playlist/Playlist.h"
#include "state/PlayerState.h"
#include "state/Settings.h"

namespace {

constexpr const char* kPlayerInterface = "org.mpris.MediaPlayer2.Player";
constexpr const char* kNoTrack = "/org/mpris/MediaPlayer2/TrackList/NoTrack";
constexpr int kPollMs = 100;
// A position further than this from where playing on would have taken it is a jump.
constexpr qlonglong kJumpUs = 1'500'000;

QString FromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

MprisService::MprisService(PlayerState& state, Settings& settings, Playlist& playlist, WaveVolume& volume)
    : state_(state), settings_(settings), playlist_(playlist), volume_(volume), bus_(QString()) {
    qDBusRegisterMetaType<QList<QByteArray>>();
    poll_.setInterval(kPollMs);
    connect(&poll_, &QTimer::timeout, this, &MprisService::Poll);
}

bool MprisService::Register(QDBusConnection bus) {
    if (!bus.isConnected()) return false;
    new MprisRootAdaptor(this);
    new MprisPlayerAdaptor(this);
    new InstanceAdaptor(this);
    // The objects first: a second start may call them as soon as the name is ours.
    if (!bus.registerObject(QString::fromLatin1(kMprisObjectPath), this, QDBusConnection::ExportAdaptors)) {
        LogLine("mpris: cannot export " + std::string(kMprisObjectPath));
        return false;
    }
    const auto reply = bus.interface()->registerService(QString::fromLatin1(kMprisBusName),
                                                        QDBusConnectionInterface::DontQueueService,
                                                        QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid() || reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        bus.unregisterObject(QString::fromLatin1(kMprisObjectPath));
        return false;
    }
    bus_ = bus;
    announced_ = Take();
    seeksAnnounced_ = state_.busSeeks;
    lastPositionUs_ = PositionUs();
    lastPollTime_ = std::chrono::steady_clock::now();
    poll_.start();
    LogLine(std::string("mpris: ") + kMprisBusName + " on the session bus");
    return true;
}

void MprisService::Log(const QString& call, const std::string& request) const {
    if (LogEnabled()) LogLine("mpris: " + call.toStdString() + " -> " + request);
}

// --- methods: requests only ---------------------------------------------------------------------

void MprisService::Raise() {
    state_.busRaise = 1;
    Log(QStringLiteral("Raise"), "raise request");
}

void MprisService::Quit() {
    state_.quitRequested = 1;
    Log(QStringLiteral("Quit"), "quit request");
}

void MprisService::PlayPause() {
    state_.toggleRequest = 1;
    Log(QStringLiteral("PlayPause"), "toggle request");
}

void MprisService::Play() {
    if (!RequestPlay(state_)) {
        Log(QStringLiteral("Play"), "nothing (playing)");
        return;
    }
    Log(QStringLiteral("Play"), "command " + std::to_string(state_.pendingCommand));
}

void MprisService::Pause() {
    if (state_.closed != 0 || state_.paused != 0) {
        Log(QStringLiteral("Pause"), "nothing (not playing)");
        return;
    }
    state_.pendingCommand = kCmdPause;
    Log(QStringLiteral("Pause"), "command 3");
}

void MprisService::Stop() {
    // As the STOP button.
    state_.pendingCommand = kCmdClose;
    state_.closeRequest = 1;
    Log(QStringLiteral("Stop"), "command 4, close request");
}

void MprisService::Next() {
    state_.pendingCommand = kCmdNextTrack;
    Log(QStringLiteral("Next"), "command 6");
}

void MprisService::Previous() {
    state_.pendingCommand = kCmdPreviousTrack;
    Log(QStringLiteral("Previous"), "command 5");
}

void MprisService::Seek(qlonglong offsetUs) {
    if (!CanSeek()) return;
    state_.busSeekMs = std::max<qlonglong>(0, (PositionUs() + offsetUs) / 1000);
    Log(QStringLiteral("Seek %1").arg(offsetUs), "jump to " + std::to_string(state_.busSeekMs) + " ms");
}

void MprisService::SetPosition(const QDBusObjectPath& trackId, qlonglong positionUs) {
    // A stale track id or a position outside the track is ignored, as MPRIS asks.
    if (!CanSeek() || trackId.path() != TrackId() || positionUs < 0 ||
        positionUs > static_cast<qlonglong>(state_.lengthMs) * 1000)
        return;
    state_.busSeekMs = positionUs / 1000;
    Log(QStringLiteral("SetPosition %1").arg(positionUs), "jump to " + std::to_string(state_.busSeekMs) + " ms");
}

void MprisService::OpenUri(const QString& uri) {
    const QUrl url(uri);
    if (!url.isLocalFile()) {
        Log(QStringLiteral("OpenUri ") + uri, "nothing (not a local file)");
        return;
    }
    // The path as the file system names it: percent-decoded bytes, not re-encoded text.
    const QByteArray path = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    HandOver({path}, QByteArrayLiteral("/"));
}

void MprisService::HandOver(const QList<QByteArray>& arguments, const QByteArray& startFolder) {
    state_.handedArguments.clear();
    for (const QByteArray& a : arguments) state_.handedArguments.emplace_back(a.constData(), static_cast<size_t>(a.size()));
    state_.handedStartFolder.assign(startFolder.constData(), static_cast<size_t>(startFolder.size()));
    state_.handedCommandLine = 1;
    state_.busRaise = 1;
    Log(QStringLiteral("HandOver of %1 arguments").arg(arguments.size()), "handed command line, raise request");
}

// --- properties ---------------------------------------------------------------------------------

QString MprisService::PlaybackStatus() const {
    if (state_.closed != 0) return QStringLiteral("Stopped");
    return state_.paused != 0 ? QStringLiteral("Paused") : QStringLiteral("Playing");
}

QString MprisService::LoopStatus() const {
    return settings_.repeat != 0 ? QStringLiteral("Playlist") : QStringLiteral("None");
}

void MprisService::SetLoopStatus(const QString& status) {
    // The player repeats the whole list or nothing; "Track" counts as repeating.
    state_.busRepeat = status == QStringLiteral("None") ? 0 : 1;
    Log(QStringLiteral("LoopStatus ") + status, "repeat " + std::to_string(state_.busRepeat));
}

bool MprisService::Shuffle() const { return settings_.shuffle != 0; }

void MprisService::SetShuffle(bool on) {
    state_.busShuffle = on ? 1 : 0;
    Log(QStringLiteral("Shuffle %1").arg(on), "shuffle " + std::to_string(state_.busShuffle));
}

QString MprisService::TrackId() const {
    if (playlist_.count <= 0) return QString::fromLatin1(kNoTrack);
    return QStringLiteral("/org/velkaf/velkaf/track/%1").arg(playlist_.currentIndex);
}

QVariantMap MprisService::Metadata() const {
    QVariantMap m;
    m.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(TrackId())));
    if (playlist_.count <= 0) return m;
    const std::string& path = playlist_.Entry(playlist_.currentIndex);
    if (path != taggedPath_) {
        const TrackTag tag = ReadTrackTag(path);
        taggedPath_ = path;
        tagTitle_ = tag.title;
        tagArtist_ = tag.artist;
    }
    if (state_.closed == 0 && state_.lengthMs > 0)
        m.insert(QStringLiteral("mpris:length"), static_cast<qlonglong>(state_.lengthMs) * 1000);
    const QByteArray bytes(path.data(), static_cast<qsizetype>(path.size()));
    m.insert(QStringLiteral("xesam:url"), QString::fromLatin1("file://" + QUrl::toPercentEncoding(bytes, "/")));
    m.insert(QStringLiteral("xesam:title"),
             FromUtf8(tagTitle_.empty() ? OutsideTextToUtf8(FileNameOf(path)) : tagTitle_));
    if (!tagArtist_.empty()) m.insert(QStringLiteral("xesam:artist"), QStringList{FromUtf8(tagArtist_)});
    return m;
}

double MprisService::Volume() const {
    uint32_t v = 0xFFFFFFFFu;
    volume_.Get(v);
    return static_cast<double>(v & 0xFFFFu) / 65535.0;
}

void MprisService::SetVolume(double volume) {
    if (std::isnan(volume)) return;
    state_.busVolume = static_cast<int>(std::lround(std::clamp(volume, 0.0, 1.0) * 65535.0));
    Log(QStringLiteral("Volume %1").arg(volume), "volume " + std::to_string(state_.busVolume));
}

qlonglong MprisService::PositionUs() const {
    if (state_.closed != 0) return 0;
    return PositionMsFromDevice(state_, state_.polledPosition) * 1000;
}

bool MprisService::CanGoNext() const { return playlist_.count > 0; }
bool MprisService::CanGoPrevious() const { return playlist_.count > 0; }
bool MprisService::CanPlay() const { return playlist_.count > 0; }
bool MprisService::CanPause() const { return state_.closed == 0; }
bool MprisService::CanSeek() const { return state_.closed == 0 && state_.lengthMs > 0; }

// --- announcing changes -------------------------------------------------------------------------

MprisService::Snapshot MprisService::Take() const {
    Snapshot s;
    s.player.insert(QStringLiteral("PlaybackStatus"), PlaybackStatus());
    s.player.insert(QStringLiteral("LoopStatus"), LoopStatus());
    s.player.insert(QStringLiteral("Shuffle"), Shuffle());
    s.player.insert(QStringLiteral("Metadata"), Metadata());
    s.player.insert(QStringLiteral("Volume"), Volume());
    s.player.insert(QStringLiteral("CanGoNext"), CanGoNext());
    s.player.insert(QStringLiteral("CanGoPrevious"), CanGoPrevious());
    s.player.insert(QStringLiteral("CanPlay"), CanPlay());
    s.player.insert(QStringLiteral("CanPause"), CanPause());
    s.player.insert(QStringLiteral("CanSeek"), CanSeek());
    return s;
}

void MprisService::Nudge() {
    if (bus_.isConnected() && !poll_.isActive()) Poll();
}

void MprisService::Poll() {
    const Snapshot now = Take();
    QVariantMap changed;
    for (auto it = now.player.cbegin(); it != now.player.cend(); ++it)
        if (announced_.player.value(it.key()) != it.value()) changed.insert(it.key(), it.value());
    if (!changed.isEmpty()) {
        QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(kMprisObjectPath),
                                                         QStringLiteral("org.freedesktop.DBus.Properties"),
                                                         QStringLiteral("PropertiesChanged"));
        signal << QString::fromLatin1(kPlayerInterface) << changed << QStringList();
        bus_.send(signal);
    }

    // Seeked: after the bus's own jumps, and when the position leaves where playing on would
    // have taken it on the same track (the knob, the keys, a search).
    const auto time = std::chrono::steady_clock::now();
    const qlonglong position = PositionUs();
    const bool playing = now.player.value(QStringLiteral("PlaybackStatus")).toString() == QStringLiteral("Playing");
    const qlonglong expected =
        lastPositionUs_ +
        (playing ? std::chrono::duration_cast<std::chrono::microseconds>(time - lastPollTime_).count() : 0);
    const bool sameTrack = !changed.contains(QStringLiteral("Metadata")) &&
                           !changed.contains(QStringLiteral("PlaybackStatus"));
    if (state_.busSeeks != seeksAnnounced_ || (sameTrack && std::llabs(position - expected) > kJumpUs)) {
        seeksAnnounced_ = state_.busSeeks;
        emit Seeked(position);
    }
    lastPositionUs_ = position;
    lastPollTime_ = time;
    announced_ = now;
    // Only playing changes the records by itself; otherwise the next Nudge() polls.
    if (!playing) poll_.stop();
    else if (!poll_.isActive()) poll_.start();
}

// --- adaptors -----------------------------------------------------------------------------------

MprisRootAdaptor::MprisRootAdaptor(MprisService* service) : QDBusAbstractAdaptor(service), service_(service) {}
QString MprisRootAdaptor::Identity() const { return QStringLiteral("VELKAF"); }
QString MprisRootAdaptor::DesktopEntry() const { return QStringLiteral(VELKAF_APP_ID); }
QStringList MprisRootAdaptor::SupportedMimeTypes() const {
    return QString::fromLatin1(VELKAF_MIME_TYPES).split(QLatin1Char(','), Qt::SkipEmptyParts);
}

MprisPlayerAdaptor::MprisPlayerAdaptor(MprisService* service) : QDBusAbstractAdaptor(service), service_(service) {
    setAutoRelaySignals(true);
}

InstanceAdaptor::InstanceAdaptor(MprisService* service) : QDBusAbstractAdaptor(service), service_(service) {}

bool HandOverToRunningPlayer(QDBusConnection bus, const std::vector<std::string>& arguments,
                             const std::string& startFolder) {
    if (!bus.isConnected()) return false;
    QList<QByteArray> bytes;
    for (const std::string& a : arguments) bytes.append(QByteArray(a.data(), static_cast<qsizetype>(a.size())));
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(kMprisBusName),
                                                       QString::fromLatin1(kMprisObjectPath),
                                                       QString::fromLatin1(kInstanceInterface), QStringLiteral("HandOver"));
    call << QVariant::fromValue(bytes) << QByteArray(startFolder.data(), static_cast<qsizetype>(startFolder.size()));
    const QDBusMessage reply = bus.call(call, QDBus::Block, 5000);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        LogLine("cannot hand over to the running player: " + reply.errorMessage().toStdString());
        return false;
    }
    return true;
}
