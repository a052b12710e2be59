#pragma once
// Answers the modal dialog of type D that the code under test runs in its own event loop. The
// dialog is found by its show event, not by polling, and `answer` runs inside that loop; what
// it leaves open is rejected. A dialog still open `s` seconds after it showed is a failure and is
// rejected, so a test whose answer waits on it ends instead of hanging.
#include <gtest/gtest.h>
#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <functional>

template <class D>
class ModalAnswer final : public QObject {
public:
    explicit ModalAnswer(std::function<void(D&)> answer, int s = 5) : m_answer(std::move(answer)), m_seconds(s) {
        QApplication::instance()->installEventFilter(this);
        m_watchdog.setSingleShot(true);
        connect(&m_watchdog, &QTimer::timeout, this, [this] {
            if (m_dialog.isNull() || !m_dialog->isVisible()) return;
            ADD_FAILURE() << "the dialog was still open after " << m_seconds << " s";
            m_dialog->reject();
        });
    }

    bool eventFilter(QObject* object, QEvent* event) override {
        D* dialog = event->type() == QEvent::Show && !m_shown ? qobject_cast<D*>(object) : nullptr;
        if (dialog == nullptr || !dialog->isModal()) return false;
        m_shown = true;
        m_dialog = dialog;
        m_watchdog.start(m_seconds * 1000);
        QTimer::singleShot(0, dialog, [this] {
            m_answer(*m_dialog);
            if (m_dialog && m_dialog->isVisible()) m_dialog->reject();
        });
        return false;
    }

private:
    std::function<void(D&)> m_answer;
    int m_seconds;
    bool m_shown = false;
    QPointer<D> m_dialog;
    QTimer m_watchdog;
};
