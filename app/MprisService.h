#pragma once
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusObjectPath>
#include <QDBusVariant>
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
// for its property. Every value from the bus is checked: a wrong type or a value the property
// cannot mean answers org.freedesktop.DBus.Error.InvalidArgs and changes nothing. Changes are
// announced with PropertiesChanged (and Seeked after a jump) by a poll every 100 ms.
// User-interface thread only; the records and `instance` outlive the service.
class MprisService final : public QObject, protected QDBusContext {
    Q_OBJECT
public:
    MprisService(PlayerState& state, Settings& settings, Playlist& playlist, WaveVolume& volume,
                 SingleInstance& instance);

    // Exports the objects and starts the poll. False when the bus is not connected or the
    // objects cannot be exported. The name is asked for afterwards, by SingleInstance.
    bool Register(QDBusConnection bus);
    // Stops the poll and removes the objects (the name must be given up before). Safe twice.
    void Unregister();

    // org.freedesktop.DBus.Properties for both interfaces, so that every set is checked here.
    QVariant GetProperty(const QString& interface, const QString& name);
    QVariantMap GetAllProperties(const QString& interface);
    void SetProperty(const QString& interface, const QString& name, const QVariant& value);

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

    QString PlaybackStatus() const;
    QString LoopStatus() const;
    // False (nothing changes) for a value other than "None", "Track" and "Playlist".
    bool SetLoopStatus(const QString& status);
    bool Shuffle() const;
    void SetShuffle(bool on);
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
    // The adaptor that carries `interface`, or null; `interface` empty: the one that has `name`.
    QObject* AdaptorOf(const QString& interface, const QString& name) const;
    // Answers the current bus call with `error` (outside a bus call: logged only).
    void Refuse(const QString& error, const QString& message);

    PlayerState& state_;
    Settings& settings_;
    Playlist& playlist_;
    WaveVolume& volume_;
    SingleInstance& instance_;
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
    // The writes come through MprisPropertiesAdaptor; these only make the properties writable.
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

// org.freedesktop.DBus.Properties: exported as an adaptor it answers before Qt's own handler,
// so a set of the wrong type gets InvalidArgs instead of being converted or failing inside.
class MprisPropertiesAdaptor final : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.DBus.Properties")
public:
    explicit MprisPropertiesAdaptor(MprisService* service);
public slots:
    QDBusVariant Get(const QString& interface, const QString& name) {
        return QDBusVariant(service_->GetProperty(interface, name));
    }
    QVariantMap GetAll(const QString& interface) { return service_->GetAllProperties(interface); }
    void Set(const QString& interface, const QString& name, const QDBusVariant& value) {
        service_->SetProperty(interface, name, value.variant());
    }
private:
    MprisService* service_;
};
