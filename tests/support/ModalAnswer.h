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
    explicit ModalAnswer(std::function<void(D&)> answer, int s = 5) : answer_(std::move(answer)), seconds_(s) {
        QApplication::instance()->installEventFilter(this);
        watchdog_.setSingleShot(true);
        connect(&watchdog_, &QTimer::timeout, this, [this] {
            if (dialog_.isNull() || !dialog_->isVisible()) return;
            ADD_FAILURE() << "the dialog was still open after " << seconds_ << " s";
            dialog_->reject();
        });
    }

    bool eventFilter(QObject* object, QEvent* event) override {
        D* dialog = event->type() == QEvent::Show && !shown_ ? qobject_cast<D*>(object) : nullptr;
        if (dialog == nullptr || !dialog->isModal()) return false;
        shown_ = true;
        dialog_ = dialog;
        watchdog_.start(seconds_ * 1000);
        QTimer::singleShot(0, dialog, [this] {
            answer_(*dialog_);
            if (dialog_ && dialog_->isVisible()) dialog_->reject();
        });
        return false;
    }

private:
    std::function<void(D&)> answer_;
    int seconds_;
    bool shown_ = false;
    QPointer<D> dialog_;
    QTimer watchdog_;
};
