#pragma once
#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QObject>
#include <QStringList>
#include <QVariantMap>
#include <chrono>
#include <string>
#include <vector>

#include "media/TrackDetails.h"

struct PlayerState;
struct Settings;
class Playlist;
class WaveVolume;
class SingleInstance;

// Where the MPRIS objects live; the name is SingleInstance's (kMprisBusName).
inline constexpr const char* kMprisObjectPath = "/org/mpris/MediaPlayer2";

// What OpenUri takes: a local file that is a media file of the media table, or a list file
// that holds at least one entry. The path as the file system names it (bytes), or empty with
// the reason in `why`.
std::string OpenableUriPath(const QString& uri, std::string& why);

// The player on the session bus: MPRIS 2 (root and Player interfaces) for media keys, sound
// applets and clients such as playerctl.
//
// Every method only writes a request into PlayerState, as a click on the skin would (a
// pending command, the toggle, the close or quit request, or the bus fields the full tick
// carries out); properties are read from the records, a request not yet carried out answering
// for its property. Every call is checked before anything is done: arguments of other types
// than the method's, a property set of another type than the property's, or a value the
// property cannot mean answer org.freedesktop.DBus.Error.InvalidArgs and change nothing; that
// is why the object is a virtual one, whose messages all come here. Changes are announced with
// PropertiesChanged (and Seeked after a jump) by Nudge() after each full tick, the only time
// the records change: the bus costs no wake-up of its own.
// User-interface thread only; the records and `instance` outlive the service.
class MprisService final : public QDBusVirtualObject {
    Q_OBJECT
public:
    MprisService(PlayerState& state, Settings& settings, Playlist& playlist, WaveVolume& volume,
                 SingleInstance& instance);

    // Exports the object. False when the bus is not connected or the
    // object cannot be exported. The name is asked for afterwards, by SingleInstance.
    bool Register(QDBusConnection bus);
    // Removes the object (the name must be given up before). Safe twice.
    void Unregister();
    // The records may have changed (the player's full tick ran): announces what changed.
    void Nudge();

    // Every call to the object: its arguments checked against the method, then carried out
    // and answered. Introspection and Peer are left to Qt (false).
    bool handleMessage(const QDBusMessage& call, const QDBusConnection& connection) override;
    // Both interfaces, made from the tables of methods and properties.
    QString introspect(const QString& path) const override;

    // org.freedesktop.DBus.Properties for both interfaces.
    QVariant GetProperty(const QString& interface, const QString& name);
    QVariantMap GetAllProperties(const QString& interface);
    void SetProperty(const QString& interface, const QString& name, const QVariant& value);

    // --- the methods (MPRIS names) ---
    void Raise();
    void Quit();
    void PlayPause();
    void Play();
    void Pause();
    void Stop();
    void Next();
    void Previous();
    void Seek(qlonglong offsetUs);
    void SetPosition(const QDBusObjectPath& trackId, qlonglong positionUs);
    void OpenUri(const QString& uri);

    QString PlaybackStatus() const;
    QString LoopStatus() const;
    // False (nothing changes) for a value other than "None", "Track" and "Playlist".
    bool SetLoopStatus(const QString& status);
    bool Shuffle() const;
    void SetShuffle(bool on);
    // The current entry: trackid, url (the path's bytes percent-encoded), title, length while
    // open, and where the file has them artist, albumArtist and genre (lists, every item),
    // album, trackNumber, discNumber and artUrl (the cover file, see CoverFileFor). The file is
    // read once per change of entry.
    QVariantMap Metadata() const;
    double Volume() const;
    // Levels outside 0..1 are taken as the nearest end; false for NaN.
    bool SetVolume(double volume);
    qlonglong PositionUs() const;
    bool CanGoNext() const;
    bool CanGoPrevious() const;
    bool CanPlay() const;
    bool CanPause() const;
    bool CanSeek() const;

private:
    // What PropertiesChanged announces, as last announced.
    struct Snapshot {
        QVariantMap player;
        friend bool operator==(const Snapshot&, const Snapshot&) = default;
    };
    Snapshot Take() const;
    void Poll();
    void Log(const QString& call, const std::string& request) const;
    QString TrackId() const;
    // The value of property `name` (of either interface), of the type its table row names.
    QVariant ReadProperty(const QString& name) const;
    // Answers the call being handled with `error` instead of its reply (outside a call: logged).
    void Refuse(const QString& error, const QString& message);

    PlayerState& m_state;
    Settings& m_settings;
    Playlist& m_playlist;
    WaveVolume& m_volume;
    SingleInstance& m_instance;
    QDBusConnection m_bus;
    Snapshot m_announced;
    int m_seeksAnnounced = 0;
    // The refusal of the call being handled: error name, then message; empty: none.
    QString m_refusal, m_refusalMessage;
    // Reads what Metadata tells of the entry at `path` into the fields below.
    void ReadDetails(const std::string& path) const;
    // What the metadata tells of the entry it was last read for: its tag's title, its details
    // (without the cover's bytes) and the picture file of its cover (empty: none).
    mutable std::string m_taggedPath;
    mutable std::string m_tagTitle;
    mutable TrackDetails m_details;
    mutable std::string m_coverFile;
    // Position of the previous poll, to tell a jump from playing on.
    qlonglong m_lastPositionUs = 0;
    std::chrono::steady_clock::time_point m_lastPollTime;
};
