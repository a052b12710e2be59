#pragma once
#include <QObject>
#include <map>

#include "platform/KeyState.h"

// Key state fed by an application-wide event filter: which polled keys are down now, and
// which were pressed since their last Pressed() read. Install once on the application.
// User-interface thread only.
class QtKeyState final : public QObject, public KeyState {
public:
    explicit QtKeyState(QObject* parent = nullptr) : QObject(parent) {}
    bool Held(PolledKey key) override;
    bool Pressed(PolledKey key) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Entry {
        bool down = false;
        bool pressedSincePoll = false;
    };
    std::map<PolledKey, Entry> keys_;
};
