#pragma once
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>
#include <chrono>
#include <string>
#include <vector>

struct PlayerState;
struct Settings;
class Playlist;
class WaveVolume;

// The well-known name the first player of a session owns, and where its objects live.
inline constexpr const char* kMprisBusName = "org.mpris.MediaPlayer2.velkaf";
inline constexpr const char* kMprisObjectPath = "/org/mpris/MediaPlayer2";
inline constexpr const char* kInstanceInterface = "org.velkaf.velkaf.Instance";

// The player on the session bus: MPRIS 2 (root and Player interfaces) for media keys, sound
// applets and clients such as playerctl, and the hand-over of a second start's command line.
//
// Every method only writes a request into PlayerState, as a click on the skin would (a
// pending command, the toggle, the close or quit request, or the bus fields the full tick
// carries out); properties are read from the records. Changes are announced with
// PropertiesChanged (and Seeked after a jump) by a poll every 100 ms while something plays;
// otherwise Nudge() polls once. User-interface thread only; the records outlive the service.
class MprisService final : public QObject {
    Q_OBJECT
public:
    MprisService(PlayerState& state, Settings& settings, Playlist& playlist, WaveVolume& volume);

    // Exports the objects, then asks for kMprisBusName. False when the bus is not connected or
    // another player owns the name.
    bool Register(QDBusConnection bus);
    // The records may have changed (the player's full tick ran): announces what changed
    // unless the poll runs anyway, and starts the poll when something plays.
    void Nudge();

    // --- what the adaptors forward (MPRIS names) ---
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
    // A later start's command line (raw bytes) and the folder it started in.
    void HandOver(const QList<QByteArray>& arguments, const QByteArray& startFolder);

    QString PlaybackStatus() const;
    QString LoopStatus() const;
    void SetLoopStatus(const QString& status);
    bool Shuffle() const;
    void SetShuffle(bool on);
    QVariantMap Metadata() const;
    double Volume() const;
    void SetVolume(double volume);
    qlonglong PositionUs() const;
    bool CanGoNext() const;
    bool CanGoPrevious() const;
    bool CanPlay() const;
    bool CanPause() const;
    bool CanSeek() const;

signals:
    void Seeked(qlonglong positionUs);

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

    PlayerState& state_;
    Settings& settings_;
    Playlist& playlist_;
    WaveVolume& volume_;
    QDBusConnection bus_;
    QTimer poll_;
    Snapshot announced_;
    int seeksAnnounced_ = 0;
    // The tag of the entry the metadata was last read for.
    mutable std::string taggedPath_;
    mutable std::string tagTitle_, tagArtist_;
    // Position of the previous poll, to tell a jump from playing on.
    qlonglong lastPositionUs_ = 0;
    std::chrono::steady_clock::time_point lastPollTime_;
};

// org.mpris.MediaPlayer2
class MprisRootAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ CanQuit)
    Q_PROPERTY(bool CanRaise READ CanRaise)
    Q_PROPERTY(bool HasTrackList READ HasTrackList)
    Q_PROPERTY(QString Identity READ Identity)
    Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes)
public:
    explicit MprisRootAdaptor(MprisService* service);
    bool CanQuit() const { return true; }
    bool CanRaise() const { return true; }
    bool HasTrackList() const { return false; }
    QString Identity() const;
    QString DesktopEntry() const;
    QStringList SupportedUriSchemes() const { return {QStringLiteral("file")}; }
    QStringList SupportedMimeTypes() const;
public slots:
    void Raise() { service_->Raise(); }
    void Quit() { service_->Quit(); }
private:
    MprisService* service_;
};

// org.mpris.MediaPlayer2.Player
class MprisPlayerAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
    Q_PROPERTY(QString LoopStatus READ LoopStatus WRITE setLoopStatus)
    Q_PROPERTY(double Rate READ Rate WRITE setRate)
    Q_PROPERTY(bool Shuffle READ Shuffle WRITE setShuffle)
    Q_PROPERTY(QVariantMap Metadata READ Metadata)
    Q_PROPERTY(double Volume READ Volume WRITE setVolume)
    Q_PROPERTY(qlonglong Position READ Position)
    Q_PROPERTY(double MinimumRate READ Rate)
    Q_PROPERTY(double MaximumRate READ Rate)
    Q_PROPERTY(bool CanGoNext READ CanGoNext)
    Q_PROPERTY(bool CanGoPrevious READ CanGoPrevious)
    Q_PROPERTY(bool CanPlay READ CanPlay)
    Q_PROPERTY(bool CanPause READ CanPause)
    Q_PROPERTY(bool CanSeek READ CanSeek)
    Q_PROPERTY(bool CanControl READ CanControl)
public:
    explicit MprisPlayerAdaptor(MprisService* service);
    QString PlaybackStatus() const { return service_->PlaybackStatus(); }
    QString LoopStatus() const { return service_->LoopStatus(); }
    void setLoopStatus(const QString& s) { service_->SetLoopStatus(s); }
    // Playback runs at its own speed only.
    double Rate() const { return 1.0; }
    void setRate(double) {}
    bool Shuffle() const { return service_->Shuffle(); }
    void setShuffle(bool on) { service_->SetShuffle(on); }
    QVariantMap Metadata() const { return service_->Metadata(); }
    double Volume() const { return service_->Volume(); }
    void setVolume(double v) { service_->SetVolume(v); }
    qlonglong Position() const { return service_->PositionUs(); }
    bool CanGoNext() const { return service_->CanGoNext(); }
    bool CanGoPrevious() const { return service_->CanGoPrevious(); }
    bool CanPlay() const { return service_->CanPlay(); }
    bool CanPause() const { return service_->CanPause(); }
    bool CanSeek() const { return service_->CanSeek(); }
    bool CanControl() const { return true; }
public slots:
    void Next() { service_->Next(); }
    void Previous() { service_->Previous(); }
    void Pause() { service_->Pause(); }
    void PlayPause() { service_->PlayPause(); }
    void Stop() { service_->Stop(); }
    void Play() { service_->Play(); }
    void Seek(qlonglong offset) { service_->Seek(offset); }
    void SetPosition(const QDBusObjectPath& trackId, qlonglong position) { service_->SetPosition(trackId, position); }
    void OpenUri(const QString& uri) { service_->OpenUri(uri); }
signals:
    void Seeked(qlonglong Position);
private:
    MprisService* service_;
};

// org.velkaf.velkaf.Instance: a second start hands its command line to the first player.
class InstanceAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.velkaf.velkaf.Instance")
public:
    explicit InstanceAdaptor(MprisService* service);
public slots:
    void HandOver(const QList<QByteArray>& arguments, const QByteArray& startFolder) {
        service_->HandOver(arguments, startFolder);
    }
private:
    MprisService* service_;
};

// A second start: hands `arguments` (raw bytes) and its start folder to the player that owns
// kMprisBusName, which takes them as its own command line (no arguments: it comes up).
// False when there is no such player or the call fails.
bool HandOverToRunningPlayer(QDBusConnection bus, const std::vector<std::string>& arguments,
                             const std::string& startFolder);
