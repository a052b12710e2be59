#include "panels/PlayerNotify.h"

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <utility>

PlayerNotify QueuedPlayerNotify(QObject* receiver, std::function<void(int)> handler) {
    QPointer<QObject> target(receiver);
    return [target, handler = std::move(handler)](int code) {
        if (target.isNull()) return;
        // The receiver is the context: Qt discards the call when it is gone before it runs.
        QMetaObject::invokeMethod(
            target.data(), [handler, code] { handler(code); }, Qt::QueuedConnection);
    };
}
