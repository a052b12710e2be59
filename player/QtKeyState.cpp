#include "player/QtKeyState.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QWidget>
#include <optional>

namespace {
std::optional<PolledKey> ToPolledKey(int key) {
    switch (key) {
    case Qt::Key_Alt: return PolledKey::Alt;
    case Qt::Key_Return:
    case Qt::Key_Enter: return PolledKey::Enter;
    case Qt::Key_N: return PolledKey::N;
    case Qt::Key_BracketLeft: return PolledKey::LeftBracket;
    case Qt::Key_M: return PolledKey::M;
    case Qt::Key_BracketRight: return PolledKey::RightBracket;
    case Qt::Key_Comma: return PolledKey::Comma;
    case Qt::Key_Right: return PolledKey::Right;
    case Qt::Key_Left: return PolledKey::Left;
    case Qt::Key_Period: return PolledKey::Period;
    case Qt::Key_Space: return PolledKey::Space;
    case Qt::Key_X: return PolledKey::X;
    case Qt::Key_Z: return PolledKey::Z;
    case Qt::Key_B: return PolledKey::B;
    case Qt::Key_V: return PolledKey::V;
    default: return std::nullopt;
    }
}
}  // namespace

bool QtKeyState::IsSurface(const QWidget* widget) const {
    return widget != nullptr && (!m_isSurface || m_isSurface(widget->window()));
}

bool QtKeyState::FocusOnSurface() const {
    // No active window of ours: no key reaches us at all, and the release of every held key
    // was taken care of when the application lost the keyboard.
    const QWidget* active = QApplication::activeWindow();
    return active == nullptr || IsSurface(active);
}

bool QtKeyState::Held(PolledKey key) { return m_keys[key].down && FocusOnSurface(); }

bool QtKeyState::Pressed(PolledKey key) {
    Entry& entry = m_keys[key];
    const bool result = (entry.down || entry.pressedSincePoll) && FocusOnSurface();
    entry.pressedSincePoll = false;
    return result;
}

bool QtKeyState::Quiet(std::initializer_list<PolledKey> readByPress) const {
    for (const auto& [key, entry] : m_keys)
        if (entry.down) return false;
    for (const PolledKey key : readByPress) {
        const auto found = m_keys.find(key);
        if (found != m_keys.end() && found->second.pressedSincePoll) return false;
    }
    return true;
}

bool QtKeyState::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
        auto* keyEvent = static_cast<QKeyEvent*>(event);
        // A press counts only when it reaches a surface (the widget it is delivered to, not
        // the native window before it); a release always counts, wherever the focus went.
        const bool toSurface = watched->isWidgetType() && IsSurface(static_cast<QWidget*>(watched));
        if (event->type() == QEvent::KeyPress && !toSurface) return QObject::eventFilter(watched, event);
        if (const auto key = ToPolledKey(keyEvent->key())) {
            Entry& entry = m_keys[*key];
            if (event->type() == QEvent::KeyPress) {
                entry.down = true;
                if (!keyEvent->isAutoRepeat()) entry.pressedSincePoll = true;
            } else if (!keyEvent->isAutoRepeat()) {
                entry.down = false;
            }
        }
        // Alt+Enter's Alt arrives as a modifier too.
        if (event->type() == QEvent::KeyPress && (keyEvent->modifiers() & Qt::AltModifier))
            m_keys[PolledKey::Alt].down = true;
    } else if (event->type() == QEvent::ApplicationDeactivate) {
        // Keys released while another application has the keyboard never report.
        for (auto& [key, entry] : m_keys) entry.down = false;
    }
    return QObject::eventFilter(watched, event);
}
