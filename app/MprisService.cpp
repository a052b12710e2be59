#include "app/MprisService.h"

#include "app/SingleInstance.h"
#include <sys/stat.h>

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

#include "media/TrackDetails.h"
#include "media/TrackTag.h"
#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "platform/WaveVolume.h"
#include "playback/BusRequests.h"
#include "playlist/Discovery.h"
#include "playlist/ListFile.h"
#include "playlist/Playlist.h"
#include "state/PlayerState.h"
#include "state/Settings.h"

namespace {

constexpr const char* kPlayerInterface = "org.mpris.MediaPlayer2.Player";
constexpr const char* kNoTrack = "/org/mpris/MediaPlayer2/TrackList/NoTrack";
// A position further than this from where playing on would have taken it is a jump.
constexpr qlonglong kJumpUs = 1'500'000;

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// A URI longer than any path the system can open is refused before it is parsed.
constexpr qsizetype kMaxUriChars = 3 * 4096 + 16;

const QString kInvalidArgs = QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs");
constexpr const char* kRootInterface = "org.mpris.MediaPlayer2";
constexpr const char* kPropertiesInterface = "org.freedesktop.DBus.Properties";

// The object's methods and the signature of their arguments.
struct Method {
    const char* interface;
    const char* name;
    const char* signature;
};
constexpr Method kMethods[] = {
    {kRootInterface, "Raise", ""},           {kRootInterface, "Quit", ""},         {kPlayerInterface, "Next", ""},
    {kPlayerInterface, "Previous", ""},      {kPlayerInterface, "Pause", ""},      {kPlayerInterface, "PlayPause", ""},
    {kPlayerInterface, "Stop", ""},          {kPlayerInterface, "Play", ""},       {kPlayerInterface, "Seek", "x"},
    {kPlayerInterface, "SetPosition", "ox"}, {kPlayerInterface, "OpenUri", "s"},   {kPropertiesInterface, "Get", "ss"},
    {kPropertiesInterface, "GetAll", "s"},   {kPropertiesInterface, "Set", "ssv"},
};

// The properties, their types, and which a client may set.
struct Property {
    const char* interface;
    const char* name;
    QMetaType::Type type;
    bool writable;
};
constexpr Property kProperties[] = {
    {kRootInterface, "CanQuit", QMetaType::Bool, false},
    {kRootInterface, "CanRaise", QMetaType::Bool, false},
    {kRootInterface, "HasTrackList", QMetaType::Bool, false},
    {kRootInterface, "Identity", QMetaType::QString, false},
    {kRootInterface, "DesktopEntry", QMetaType::QString, false},
    {kRootInterface, "SupportedUriSchemes", QMetaType::QStringList, false},
    {kRootInterface, "SupportedMimeTypes", QMetaType::QStringList, false},
    {kPlayerInterface, "PlaybackStatus", QMetaType::QString, false},
    {kPlayerInterface, "LoopStatus", QMetaType::QString, true},
    {kPlayerInterface, "Rate", QMetaType::Double, true},
    {kPlayerInterface, "Shuffle", QMetaType::Bool, true},
    {kPlayerInterface, "Metadata", QMetaType::QVariantMap, false},
    {kPlayerInterface, "Volume", QMetaType::Double, true},
    {kPlayerInterface, "Position", QMetaType::LongLong, false},
    {kPlayerInterface, "MinimumRate", QMetaType::Double, false},
    {kPlayerInterface, "MaximumRate", QMetaType::Double, false},
    {kPlayerInterface, "CanGoNext", QMetaType::Bool, false},
    {kPlayerInterface, "CanGoPrevious", QMetaType::Bool, false},
    {kPlayerInterface, "CanPlay", QMetaType::Bool, false},
    {kPlayerInterface, "CanPause", QMetaType::Bool, false},
    {kPlayerInterface, "CanSeek", QMetaType::Bool, false},
    {kPlayerInterface, "CanControl", QMetaType::Bool, false},
};

// The row of `name`; an empty `interface` matches either.
const Property* FindProperty(const QString& interface, const QString& name) {
    for (const Property& p : kProperties)
        if (name == QLatin1String(p.name) && (interface.isEmpty() || interface == QLatin1String(p.interface)))
            return &p;
    return nullptr;
}

QString Signature(QMetaType::Type type) { return QString::fromLatin1(QDBusMetaType::typeToSignature(QMetaType(type))); }

}  // namespace

std::string OpenableUriPath(const QString& uri, std::string& why) {
    if (uri.size() > kMaxUriChars) {
        why = "too long";
        return {};
    }
    const QUrl url(uri, QUrl::StrictMode);
    if (!url.isValid() || !url.isLocalFile()) {
        why = "not a local file";
        return {};
    }
    // file://otherhost/a.mp3 names a file on another machine, never the local /a.mp3.
    if (const QString host = url.host();
        !host.isEmpty() && host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0) {
        why = "a file of another host";
        return {};
    }
    // The path as the file system names it: percent-decoded bytes, not re-encoded text.
    const QByteArray bytes = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    const std::string path(bytes.constData(), static_cast<size_t>(bytes.size()));
    struct stat st {};
    if (path.empty() || path[0] != '/' || path.find('\0') != std::string::npos || ::stat(path.c_str(), &st) != 0) {
        why = "no such file";
        return {};
    }
    if (!S_ISREG(st.st_mode) || !CanOpenForReading(path)) {
        why = "not a readable regular file";
        return {};
    }
    if (IsMediaPath(path)) return path;
    if (IsListFilePath(path)) {
        Playlist list;
        if (ReadListFile(path, list, 0) > 0) return path;
        why = "a list without entries";
        return {};
    }
    why = "not a media file or a list";
    return {};
}

MprisService::MprisService(PlayerState& state, Settings& settings, Playlist& playlist, WaveVolume& volume,
                           SingleInstance& instance)
    : m_state(state), m_settings(settings), m_playlist(playlist), m_volume(volume), m_instance(instance),
      m_bus(QString()) {}

bool MprisService::Register(QDBusConnection bus) {
    if (!bus.isConnected()) return false;
    if (!bus.registerVirtualObject(QString::fromLatin1(kMprisObjectPath), this, QDBusConnection::SingleNode)) {
        LogLine("mpris: cannot export " + std::string(kMprisObjectPath));
        return false;
    }
    m_bus = bus;
    m_announced = Take();
    m_seeksAnnounced = m_state.busSeeks;
    m_lastPositionUs = PositionUs();
    m_lastPollTime = std::chrono::steady_clock::now();
    return true;
}

void MprisService::Unregister() {
    if (m_bus.isConnected()) m_bus.unregisterObject(QString::fromLatin1(kMprisObjectPath));
    m_bus = QDBusConnection(QString());
}

void MprisService::Refuse(const QString& error, const QString& message) {
    LogLine("mpris: refused: " + message.toStdString());
    m_refusal = error;
    m_refusalMessage = message;
}

// --- the object's messages ----------------------------------------------------------------------

bool MprisService::handleMessage(const QDBusMessage& call, const QDBusConnection& connection) {
    if (call.type() != QDBusMessage::MethodCallMessage) return false;
    const QString interface = call.interface(), member = call.member();
    const Method* method = nullptr;
    for (const Method& m : kMethods)
        if (member == QLatin1String(m.name) && (interface.isEmpty() || interface == QLatin1String(m.interface))) {
            method = &m;
            break;
        }
    if (method == nullptr) {
        if (interface == QLatin1String("org.freedesktop.DBus.Introspectable") ||
            interface == QLatin1String("org.freedesktop.DBus.Peer") ||
            (interface.isEmpty() && (member == QLatin1String("Introspect") || member == QLatin1String("Ping"))))
            return false;
        connection.send(
            call.createErrorReply(QDBusError::UnknownMethod, QStringLiteral("no method %1.%2").arg(interface, member)));
        return true;
    }
    m_refusal.clear();
    QVariantList out;
    const QVariantList a = call.arguments();
    const QLatin1String name(method->name);
    // No call needs a longer string than a URI of a whole path: a longer one is refused before
    // anything reads it, and the reply does not say it again.
    const auto tooLong = [](const QVariant& v) {
        const QVariant inner = v.canConvert<QDBusVariant>() ? qvariant_cast<QDBusVariant>(v).variant() : v;
        return (v.metaType().id() == QMetaType::QString && v.toString().size() > kMaxUriChars) ||
               (inner.metaType().id() == QMetaType::QString && inner.toString().size() > kMaxUriChars);
    };
    if (std::any_of(a.begin(), a.end(), tooLong)) {
        Refuse(kInvalidArgs, name + QStringLiteral(": a string longer than %1 characters").arg(kMaxUriChars));
    } else if (call.signature() != QLatin1String(method->signature)) {
        Refuse(kInvalidArgs,
               name + QStringLiteral(" takes '%1', not '%2'").arg(QLatin1String(method->signature), call.signature()));
    } else if (name == QLatin1String("Get")) {
        const QVariant value = GetProperty(a[0].toString(), a[1].toString());
        out << QVariant::fromValue(QDBusVariant(value));
    } else if (name == QLatin1String("GetAll")) {
        out << GetAllProperties(a[0].toString());
    } else if (name == QLatin1String("Set")) {
        SetProperty(a[0].toString(), a[1].toString(), qvariant_cast<QDBusVariant>(a[2]).variant());
    } else if (name == QLatin1String("Seek")) {
        Seek(a[0].toLongLong());
    } else if (name == QLatin1String("SetPosition")) {
        SetPosition(qvariant_cast<QDBusObjectPath>(a[0]), a[1].toLongLong());
    } else if (name == QLatin1String("OpenUri")) {
        OpenUri(a[0].toString());
    } else {
        using Call = void (MprisService::*)();
        static const std::pair<const char*, Call> kPlain[] = {
            {"Raise", &MprisService::Raise}, {"Quit", &MprisService::Quit},
            {"Next", &MprisService::Next},   {"Previous", &MprisService::Previous},
            {"Pause", &MprisService::Pause}, {"PlayPause", &MprisService::PlayPause},
            {"Stop", &MprisService::Stop},   {"Play", &MprisService::Play},
        };
        for (const auto& [plain, carryOut] : kPlain)
            if (name == QLatin1String(plain)) (this->*carryOut)();
    }
    if (!m_refusal.isEmpty()) connection.send(call.createErrorReply(m_refusal, m_refusalMessage));
    else if (call.isReplyRequired()) connection.send(call.createReply(out));
    m_refusal.clear();
    return true;
}

QString MprisService::introspect(const QString&) const {
    QString xml;
    for (const char* interface : {kRootInterface, kPlayerInterface}) {
        xml += QStringLiteral("<interface name=\"%1\">\n").arg(QLatin1String(interface));
        for (const Method& m : kMethods) {
            if (std::strcmp(m.interface, interface) != 0) continue;
            xml += QStringLiteral("<method name=\"%1\">").arg(QLatin1String(m.name));
            for (const char* type = m.signature; *type != '\0'; ++type)
                xml += QStringLiteral("<arg type=\"%1\" direction=\"in\"/>").arg(QLatin1Char(*type));
            xml += QStringLiteral("</method>\n");
        }
        if (std::strcmp(interface, kPlayerInterface) == 0)
            xml += QStringLiteral("<signal name=\"Seeked\"><arg type=\"x\"/></signal>\n");
        for (const Property& p : kProperties)
            if (std::strcmp(p.interface, interface) == 0)
                xml += QStringLiteral("<property name=\"%1\" type=\"%2\" access=\"%3\"/>\n")
                           .arg(QLatin1String(p.name), Signature(p.type),
                                p.writable ? QStringLiteral("readwrite") : QStringLiteral("read"));
        xml += QStringLiteral("</interface>\n");
    }
    return xml;
}

// --- org.freedesktop.DBus.Properties ------------------------------------------------------------

QVariant MprisService::ReadProperty(const QString& name) const {
    if (name == QLatin1String("CanQuit") || name == QLatin1String("CanRaise") || name == QLatin1String("CanControl"))
        return true;
    if (name == QLatin1String("HasTrackList")) return false;
    if (name == QLatin1String("Identity")) return QStringLiteral("VELKAF");
    if (name == QLatin1String("DesktopEntry")) return QStringLiteral(VELKAF_APP_ID);
    if (name == QLatin1String("SupportedUriSchemes")) return QStringList{QStringLiteral("file")};
    if (name == QLatin1String("SupportedMimeTypes"))
        return QString::fromLatin1(VELKAF_MIME_TYPES).split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (name == QLatin1String("PlaybackStatus")) return PlaybackStatus();
    if (name == QLatin1String("LoopStatus")) return LoopStatus();
    // Playback runs at its own speed only.
    if (name == QLatin1String("Rate") || name == QLatin1String("MinimumRate") || name == QLatin1String("MaximumRate"))
        return 1.0;
    if (name == QLatin1String("Shuffle")) return Shuffle();
    if (name == QLatin1String("Metadata")) return Metadata();
    if (name == QLatin1String("Volume")) return Volume();
    if (name == QLatin1String("Position")) return PositionUs();
    if (name == QLatin1String("CanGoNext")) return CanGoNext();
    if (name == QLatin1String("CanGoPrevious")) return CanGoPrevious();
    if (name == QLatin1String("CanPlay")) return CanPlay();
    if (name == QLatin1String("CanPause")) return CanPause();
    return CanSeek();
}

QVariant MprisService::GetProperty(const QString& interface, const QString& name) {
    if (FindProperty(interface, name) == nullptr) {
        Refuse(QStringLiteral("org.freedesktop.DBus.Error.UnknownProperty"), interface + QLatin1Char('.') + name);
        return {};
    }
    return ReadProperty(name);
}

QVariantMap MprisService::GetAllProperties(const QString& interface) {
    QVariantMap all;
    for (const Property& p : kProperties)
        if (interface == QLatin1String(p.interface))
            all.insert(QLatin1String(p.name), ReadProperty(QLatin1String(p.name)));
    if (all.isEmpty()) Refuse(QStringLiteral("org.freedesktop.DBus.Error.UnknownInterface"), interface);
    return all;
}

void MprisService::SetProperty(const QString& interface, const QString& name, const QVariant& value) {
    const Property* property = FindProperty(interface, name);
    if (property == nullptr) {
        Refuse(QStringLiteral("org.freedesktop.DBus.Error.UnknownProperty"), interface + QLatin1Char('.') + name);
        return;
    }
    if (!property->writable) {
        Refuse(QStringLiteral("org.freedesktop.DBus.Error.PropertyReadOnly"), name + QStringLiteral(" is read-only"));
        return;
    }
    // Exactly the property's type: no conversion of a string or an integer.
    if (value.metaType().id() != property->type) {
        Refuse(kInvalidArgs, name + QStringLiteral(" takes '%1', not '%2'")
                                        .arg(Signature(property->type),
                                             QLatin1String(QDBusMetaType::typeToSignature(value.metaType()))));
        return;
    }
    bool taken = true;
    if (name == QLatin1String("LoopStatus")) taken = SetLoopStatus(value.toString());
    else if (name == QLatin1String("Shuffle")) SetShuffle(value.toBool());
    else if (name == QLatin1String("Volume")) taken = SetVolume(value.toDouble());
    else taken = value.toDouble() == 1.0;  // Rate: the only rate there is
    if (!taken) Refuse(kInvalidArgs, name + QStringLiteral(": no such value"));
}

void MprisService::Log(const QString& call, const std::string& request) const {
    if (LogEnabled()) LogLine("mpris: " + call.toStdString() + " -> " + request);
}

// --- methods: requests only ---------------------------------------------------------------------

void MprisService::Raise() {
    m_state.busRaise.Ask(true);
    Log(QStringLiteral("Raise"), "raise request");
}

void MprisService::Quit() {
    m_state.quitRequested.Ask(true);
    Log(QStringLiteral("Quit"), "quit request");
}

void MprisService::PlayPause() {
    m_state.toggleRequest.Ask(true);
    Log(QStringLiteral("PlayPause"), "toggle request");
}

void MprisService::Play() {
    if (!RequestPlay(m_state)) {
        Log(QStringLiteral("Play"), "nothing (playing)");
        return;
    }
    Log(QStringLiteral("Play"), "command " + std::to_string(m_state.pendingCommand));
}

void MprisService::Pause() {
    if (m_state.closed != 0 || m_state.paused != 0) {
        Log(QStringLiteral("Pause"), "nothing (not playing)");
        return;
    }
    m_state.pendingCommand.Ask(kCmdPause);
    Log(QStringLiteral("Pause"), "command 3");
}

void MprisService::Stop() {
    // As the STOP button.
    m_state.pendingCommand.Ask(kCmdClose);
    m_state.closeRequest.Ask(true);
    Log(QStringLiteral("Stop"), "command 4, close request");
}

void MprisService::Next() {
    m_state.pendingCommand.Ask(kCmdNextTrack);
    Log(QStringLiteral("Next"), "command 6");
}

void MprisService::Previous() {
    m_state.pendingCommand.Ask(kCmdPreviousTrack);
    Log(QStringLiteral("Previous"), "command 5");
}

void MprisService::Seek(qlonglong offsetUs) {
    if (!CanSeek()) return;
    // Saturating: a jump past either end of the track stops at that end.
    const qlonglong position = PositionUs();  // 0 <= position
    const qlonglong lengthUs = static_cast<qlonglong>(m_state.lengthMs) * 1000;
    const qlonglong target = offsetUs > std::numeric_limits<qlonglong>::max() - position
                                 ? std::numeric_limits<qlonglong>::max()
                                 : position + offsetUs;
    m_state.busSeekMs.Ask(std::clamp<qlonglong>(target, 0, lengthUs) / 1000);
    Log(QStringLiteral("Seek %1").arg(offsetUs), "jump to " + std::to_string(*m_state.busSeekMs.Get()) + " ms");
}

void MprisService::SetPosition(const QDBusObjectPath& trackId, qlonglong positionUs) {
    // A stale track id or a position outside the track is ignored, as MPRIS asks.
    if (!CanSeek() || trackId.path() != TrackId() || positionUs < 0 ||
        positionUs > static_cast<qlonglong>(m_state.lengthMs) * 1000)
        return;
    m_state.busSeekMs.Ask(positionUs / 1000);
    Log(QStringLiteral("SetPosition %1").arg(positionUs), "jump to " + std::to_string(positionUs / 1000) + " ms");
}

void MprisService::OpenUri(const QString& uri) {
    // Any process on the bus may call this: only what a user would open as media is taken,
    // and the list stays as it was otherwise.
    std::string why;
    const std::string path = OpenableUriPath(uri, why);
    if (path.empty()) {
        Refuse(kInvalidArgs,
               QStringLiteral("OpenUri takes a media file or a list file: ") + QString::fromStdString(why));
        return;
    }
    if (!m_instance.Take({QByteArray(path.data(), static_cast<qsizetype>(path.size()))}, QByteArrayLiteral("/"))) {
        Refuse(QString::fromLatin1(kQuittingError), QStringLiteral("the player is quitting"));
        return;
    }
    Log(QStringLiteral("OpenUri"), "handed " + path);
}

// --- properties ---------------------------------------------------------------------------------

QString MprisService::PlaybackStatus() const {
    if (m_state.closed != 0) return QStringLiteral("Stopped");
    return m_state.paused != 0 ? QStringLiteral("Paused") : QStringLiteral("Playing");
}

QString MprisService::LoopStatus() const {
    const bool repeat = m_state.busRepeat->value_or(m_settings.repeat != 0);
    return repeat ? QStringLiteral("Playlist") : QStringLiteral("None");
}

bool MprisService::SetLoopStatus(const QString& status) {
    if (status != QLatin1String("None") && status != QLatin1String("Track") && status != QLatin1String("Playlist"))
        return false;
    // The player repeats the whole list or nothing; "Track" counts as repeating.
    const bool repeat = status != QLatin1String("None");
    m_state.busRepeat.Ask(repeat);
    Log(QStringLiteral("LoopStatus ") + status, std::string("repeat ") + (repeat ? "1" : "0"));
    return true;
}

bool MprisService::Shuffle() const { return m_state.busShuffle->value_or(m_settings.shuffle != 0); }

void MprisService::SetShuffle(bool on) {
    m_state.busShuffle.Ask(on);
    Log(QStringLiteral("Shuffle %1").arg(on), std::string("shuffle ") + (on ? "1" : "0"));
}

namespace {
QString TrackIdOf(const BusTrack& track) {
    if (track.index < 0) return QString::fromLatin1(kNoTrack);
    return QStringLiteral("/org/velkaf/velkaf/track/%1").arg(track.index);
}

QString FileUrl(const std::string& path) {
    // The path's bytes as they are, whatever their encoding: a client decodes the URL back to them.
    // (QUrl::toPercentEncoding takes a QString: a QByteArray would pass through UTF-8 decoding.)
    const QByteArray bytes(path.data(), static_cast<qsizetype>(path.size()));
    return QString::fromLatin1("file://" + bytes.toPercentEncoding("/"));
}

QStringList TextList(const std::vector<std::string>& items) {
    QStringList list;
    for (const std::string& item : items) list << FromUtf8(item);
    return list;
}
}  // namespace

void MprisService::ReadDetails(const std::string& path) const {
    // Once per change of track: the tag, the details and the cover file (written once).
    const TrackTag tag = ReadTrackTag(path);
    m_taggedPath = path;
    m_tagTitle = tag.title;
    m_details = ReadTrackDetails(path);
    if (m_details.artists.empty() && !tag.artist.empty()) m_details.artists = {tag.artist};
    m_coverFile = CoverFileFor(path, m_details.cover, CoverCacheFolder());
    m_details.cover.clear();
    if (LogEnabled()) LogLine("mpris: details of " + path + ": cover " + (m_coverFile.empty() ? "none" : m_coverFile));
}

QString MprisService::TrackId() const { return TrackIdOf(TrackOnTheBus(m_state, m_playlist)); }

QVariantMap MprisService::Metadata() const {
    QVariantMap m;
    const BusTrack track = TrackOnTheBus(m_state, m_playlist);
    m.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(TrackIdOf(track))));
    if (track.index < 0) return m;
    const std::string& path = track.path;
    if (path != m_taggedPath) ReadDetails(path);
    if (m_state.closed == 0 && m_state.lengthMs > 0)
        m.insert(QStringLiteral("mpris:length"), static_cast<qlonglong>(m_state.lengthMs) * 1000);
    m.insert(QStringLiteral("xesam:url"), FileUrl(path));
    m.insert(QStringLiteral("xesam:title"),
             FromUtf8(m_tagTitle.empty() ? OutsideTextToUtf8(FileNameOf(path)) : m_tagTitle));
    const std::pair<const char*, const std::vector<std::string>*> lists[] = {
        {"xesam:artist", &m_details.artists},
        {"xesam:albumArtist", &m_details.albumArtists},
        {"xesam:genre", &m_details.genres},
    };
    for (const auto& [key, items] : lists)
        if (!items->empty()) m.insert(QLatin1String(key), TextList(*items));
    if (!m_details.album.empty()) m.insert(QStringLiteral("xesam:album"), FromUtf8(m_details.album));
    if (m_details.trackNumber > 0) m.insert(QStringLiteral("xesam:trackNumber"), m_details.trackNumber);
    if (m_details.discNumber > 0) m.insert(QStringLiteral("xesam:discNumber"), m_details.discNumber);
    if (!m_coverFile.empty()) m.insert(QStringLiteral("mpris:artUrl"), FileUrl(m_coverFile));
    return m;
}

double MprisService::Volume() const {
    if (m_state.busVolume.Pending()) return static_cast<double>(*m_state.busVolume.Get()) / 65535.0;
    uint32_t v = 0xFFFFFFFFu;
    m_volume.Get(v);
    return static_cast<double>(v & 0xFFFFu) / 65535.0;
}

bool MprisService::SetVolume(double volume) {
    if (std::isnan(volume)) return false;
    const int level = static_cast<int>(std::lround(std::clamp(volume, 0.0, 1.0) * 65535.0));
    m_state.busVolume.Ask(level);
    Log(QStringLiteral("Volume %1").arg(volume), "volume " + std::to_string(level));
    return true;
}

qlonglong MprisService::PositionUs() const {
    if (m_state.closed != 0) return 0;
    if (m_state.busSeekMs.Pending()) return *m_state.busSeekMs.Get() * 1000;
    return PositionMsFromDevice(m_state, m_state.polledPosition) * 1000;
}

bool MprisService::CanGoNext() const { return m_playlist.count > 0; }
bool MprisService::CanGoPrevious() const { return m_playlist.count > 0; }
bool MprisService::CanPlay() const { return m_playlist.count > 0; }
bool MprisService::CanPause() const { return m_state.closed == 0; }
bool MprisService::CanSeek() const { return m_state.closed == 0 && m_state.lengthMs > 0; }

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
    if (m_bus.isConnected()) Poll();
}

void MprisService::Poll() {
    const Snapshot now = Take();
    QVariantMap changed;
    for (auto it = now.player.cbegin(); it != now.player.cend(); ++it)
        if (m_announced.player.value(it.key()) != it.value()) changed.insert(it.key(), it.value());
    if (!changed.isEmpty()) {
        QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(kMprisObjectPath),
                                                         QStringLiteral("org.freedesktop.DBus.Properties"),
                                                         QStringLiteral("PropertiesChanged"));
        signal << QString::fromLatin1(kPlayerInterface) << changed << QStringList();
        m_bus.send(signal);
    }

    // Seeked: after the bus's own jumps, and when the position leaves where playing on would
    // have taken it on the same track (the knob, the keys, a search).
    const auto time = std::chrono::steady_clock::now();
    const qlonglong position = PositionUs();
    const bool playing = now.player.value(QStringLiteral("PlaybackStatus")).toString() == QStringLiteral("Playing");
    const qlonglong expected =
        m_lastPositionUs +
        (playing ? std::chrono::duration_cast<std::chrono::microseconds>(time - m_lastPollTime).count() : 0);
    const bool sameTrack =
        !changed.contains(QStringLiteral("Metadata")) && !changed.contains(QStringLiteral("PlaybackStatus"));
    if (m_state.busSeeks != m_seeksAnnounced || (sameTrack && std::llabs(position - expected) > kJumpUs)) {
        m_seeksAnnounced = m_state.busSeeks;
        QDBusMessage seeked = QDBusMessage::createSignal(
            QString::fromLatin1(kMprisObjectPath), QString::fromLatin1(kPlayerInterface), QStringLiteral("Seeked"));
        seeked << position;
        m_bus.send(seeked);
    }
    m_lastPositionUs = position;
    m_lastPollTime = time;
    m_announced = now;
}
