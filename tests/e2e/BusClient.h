#pragma once
// The player's object on a private session bus, as another program on the bus calls it.
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include "tests/e2e/PlayerProcess.h"
#include "tests/support/QtTestApp.h"

inline const QString kName = QStringLiteral("org.mpris.MediaPlayer2.velkaf");
inline const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
inline const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");
inline const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
class PrivateBus : public SessionBus {  // and this test's connection to it
public:
    explicit PrivateBus(const std::vector<std::string>& env = {}) : SessionBus(env) {
        TestApplication();
        m_connection = QDBusConnection::connectToBus(QString::fromStdString(FirstLine()), QString::number(++m_count));
    }
    bool Up() const { return m_connection.isConnected(); }
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
private:
    QDBusMessage Call(const QString& interface, const char* method, const QVariantList& arguments) {
        QDBusMessage call = QDBusMessage::createMethodCall(kName, kPath, interface, QString::fromLatin1(method));
        call.setArguments(arguments);
        return m_connection.call(call, QDBus::Block, 10000);
    }
    static std::string Error(const QDBusMessage& reply) {
        return reply.type() == QDBusMessage::ErrorMessage ? reply.errorName().toStdString() : "";
    }
    static inline int m_count = 0; QDBusConnection m_connection{QString()};
};
