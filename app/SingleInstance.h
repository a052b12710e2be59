#pragma once
#include <QByteArray>
#include <QDBusConnection>
#include <QDBusContext>
#include <QList>
#include <QObject>
#include <string>
#include <vector>

struct PlayerState;

// The well-known name the first player of a session owns (its MPRIS name too), and the
// object a later start hands its command line to.
inline constexpr const char* kMprisBusName = "org.mpris.MediaPlayer2.velkaf";
inline constexpr const char* kInstanceObjectPath = "/org/velkaf/velkaf";
inline constexpr const char* kInstanceInterface = "org.velkaf.velkaf.Instance";
// The error a quitting player answers a hand-over with: the caller waits for the name.
inline constexpr const char* kQuittingError = "org.velkaf.velkaf.Error.Quitting";

// One player per desktop session. The first start owns kMprisBusName; a later start hands its
// command line (raw bytes, and the folder it started in) to that player and ends. A player that
// is quitting refuses hand-overs and gives the name up before its objects go, so a start racing
// a quit either hands over to a player that will carry it out, or owns the name itself.
// User-interface thread only; `state` outlives the object.
class SingleInstance final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.velkaf.velkaf.Instance")
public:
    enum class Start {
        Owner,        // this player owns the name: run with the bus
        Alone,        // no bus, --new-instance, or the name could not be had: run without it
        Queued,       // another player keeps the name and took nothing: run, and own the name
                      // as soon as that player gives it up
        HandedOver,   // the running player took the command line: end with status 0
        NothingTaken  // another player runs, but no argument names anything: end with status 1
    };

    explicit SingleInstance(PlayerState& state);
    ~SingleInstance() override;

    // Exports the hand-over object and asks for the name. When another player owns it (and
    // `newInstance` is false), hands `arguments` over; a player that is quitting, or whose
    // objects are already gone, is retried for up to `patienceMs`, claiming the name as soon
    // as it is free; after that this start runs queued for the name. `namesNothing`: the
    // arguments were given and name nothing (ClassifyCommandLine), so there is nothing to hand.
    Start Claim(QDBusConnection bus, bool newInstance, const std::vector<std::string>& arguments,
                const std::string& startFolder, bool namesNothing, int patienceMs = 2000);
    bool OwnsName() const { return m_owner; }
    // Gives the name (or the place in its queue) up, then removes the hand-over object. Safe to
    // call twice.
    void Release();

    // Takes a command line as a later start's: what it names is taken now (relative names
    // against `startFolder`; those naming nothing are reported on this process's standard
    // error), the next full tick carries it out and the main window comes up. False (nothing recorded) once the player is quitting.
    bool Take(const QList<QByteArray>& arguments, const QByteArray& startFolder);

public slots:
    // On the bus: a later start's command line. Answers kQuittingError while quitting.
    void HandOver(const QList<QByteArray>& arguments, const QByteArray& startFolder);

private:
    PlayerState& m_state;
    QDBusConnection m_bus;
    bool m_exported = false;
    bool m_owner = false;
    bool m_queued = false;
};
