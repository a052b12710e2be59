#include "app/SingleInstance.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QSet>
#include <QThread>
#include <chrono>

#include "platform/Log.h"
#include "platform/QuitSignal.h"
#include "app/CommandLine.h"
#include "state/PlayerState.h"

namespace {

enum class Outcome { Taken, Retry, Failed };

// Errors that mean the name's owner is going or gone, not that it refused the call.
bool OwnerGoing(const QString& error) {
    static const QSet<QString> going = {
        QString::fromLatin1(kQuittingError),
        QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown"),
        QStringLiteral("org.freedesktop.DBus.Error.NameHasNoOwner"),
        QStringLiteral("org.freedesktop.DBus.Error.UnknownObject"),
        QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"),
        QStringLiteral("org.freedesktop.DBus.Error.UnknownInterface"),
    };
    return going.contains(error);
}

Outcome SendHandOver(QDBusConnection& bus, const std::vector<std::string>& arguments, const std::string& startFolder) {
    QList<QByteArray> bytes;
    for (const std::string& a : arguments) bytes.append(QByteArray(a.data(), static_cast<qsizetype>(a.size())));
    QDBusMessage call =
        QDBusMessage::createMethodCall(QString::fromLatin1(kMprisBusName), QString::fromLatin1(kInstanceObjectPath),
                                       QString::fromLatin1(kInstanceInterface), QStringLiteral("HandOver"));
    call << QVariant::fromValue(bytes) << QByteArray(startFolder.data(), static_cast<qsizetype>(startFolder.size()));
    const QDBusMessage reply = bus.call(call, QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ErrorMessage) return Outcome::Taken;
    LogLine("hand-over to the running player: " + reply.errorName().toStdString() + ": " +
            reply.errorMessage().toStdString());
    return OwnerGoing(reply.errorName()) ? Outcome::Retry : Outcome::Failed;
}

}  // namespace

SingleInstance::SingleInstance(PlayerState& state) : m_state(state), m_bus(QString()) {
    qDBusRegisterMetaType<QList<QByteArray>>();
}

SingleInstance::~SingleInstance() { Release(); }

SingleInstance::Start SingleInstance::Claim(QDBusConnection bus, bool newInstance,
                                            const std::vector<std::string>& arguments, const std::string& startFolder,
                                            bool namesNothing, int patienceMs) {
    if (!bus.isConnected()) return Start::Alone;
    m_bus = bus;
    // The object first: a later start may call it as soon as the name is ours.
    m_exported = bus.registerObject(QString::fromLatin1(kInstanceObjectPath), this, QDBusConnection::ExportAllSlots);
    if (!m_exported) LogLine(std::string("cannot export ") + kInstanceObjectPath);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(patienceMs);
    for (;;) {
        const auto reply = bus.interface()->registerService(QString::fromLatin1(kMprisBusName),
                                                            QDBusConnectionInterface::DontQueueService,
                                                            QDBusConnectionInterface::DontAllowReplacement);
        if (m_exported && reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
            m_owner = true;
            return Start::Owner;
        }
        if (newInstance || !m_exported) break;
        if (namesNothing) {
            Release();
            return Start::NothingTaken;
        }
        const Outcome outcome = SendHandOver(bus, arguments, startFolder);
        if (outcome == Outcome::Taken) {
            Release();
            return Start::HandedOver;
        }
        if (outcome == Outcome::Failed || std::chrono::steady_clock::now() >= deadline) break;
        QThread::msleep(50);
    }
    if (!newInstance && m_exported) {
        // The owner keeps the name (it quits slowly, or does not answer): wait in the name's
        // queue, so that this player is on the bus as soon as the other one leaves it.
        connect(bus.interface(), &QDBusConnectionInterface::serviceRegistered, this, [this](const QString& name) {
            if (!m_queued || name != QLatin1String(kMprisBusName)) return;
            m_queued = false;
            m_owner = true;
            LogLine(std::string("mpris: the previous player left: ") + kMprisBusName + " on the session bus");
        });
        const auto reply =
            bus.interface()->registerService(QString::fromLatin1(kMprisBusName), QDBusConnectionInterface::QueueService,
                                             QDBusConnectionInterface::DontAllowReplacement);
        if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
            m_owner = true;
            return Start::Owner;
        }
        if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceQueued) {
            m_queued = true;
            LogLine("another player keeps the session's name: this one runs, queued for it");
            return Start::Queued;
        }
    }
    LogLine("another player owns the session's name: this one runs without the bus");
    Release();
    return Start::Alone;
}

void SingleInstance::Release() {
    // The name goes first: a start that finds it free owns it, never a name without objects.
    if (m_owner || m_queued) m_bus.interface()->unregisterService(QString::fromLatin1(kMprisBusName));
    m_owner = m_queued = false;
    if (m_exported) m_bus.unregisterObject(QString::fromLatin1(kInstanceObjectPath));
    m_exported = false;
}

bool SingleInstance::Take(const QList<QByteArray>& arguments, const QByteArray& startFolder) {
    if (m_state.quitRequested != 0 || QuitSignalReceived()) return false;
    std::vector<std::string> named;
    for (const QByteArray& a : arguments) named.emplace_back(a.constData(), static_cast<size_t>(a.size()));
    // Taken as the later start saw it: relative names against its folder, now.
    CommandLineItems items = ClassifyCommandLine(named, std::string(startFolder.constData(), startFolder.size()));
    ReportArgumentsNamingNothing(items);
    m_state.handedCommandLine.Ask(HandedCommandLine{std::move(items.items)});
    m_state.busRaise.Ask(true);
    if (LogEnabled())
        LogLine("hand-over of " + std::to_string(arguments.size()) + " arguments: handed command line, raise request");
    return true;
}

void SingleInstance::HandOver(const QList<QByteArray>& arguments, const QByteArray& startFolder) {
    if (!Take(arguments, startFolder))
        sendErrorReply(QString::fromLatin1(kQuittingError), QStringLiteral("the player is quitting"));
}
