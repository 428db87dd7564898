// SPDX-License-Identifier: GPL-3.0-or-later
// The window's input while commands run: command buttons pressed however the press came, held
// keys, access keys, input that arrived while a run could not take it, and the events of the
// window itself (activation, close, the popup menu, Enter, leaving the start directory field).
#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QShortcutEvent>
#include <QShowEvent>
#include <QStatusBar>
#include <QTimer>

#include "rules/app_error.h"
#include "ui/unit1.h"

namespace zr {

namespace {

// Watches every event of the program before it is delivered: a held key never triggers an
// access key or presses a button, an access key clicks at once, and input is dropped while the
// window asks for that.
class InputGate : public QObject {
public:
    InputGate(const bool& dropping, QObject* parent) : QObject(parent), m_dropping(dropping) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::ShortcutOverride:
                // Claimed as a plain key press, a repeat never reaches the access keys.
                if (static_cast<QKeyEvent*>(event)->isAutoRepeat()) {
                    event->accept();
                    return true;
                }
                return m_dropping;
            case QEvent::KeyPress:
                if (static_cast<QKeyEvent*>(event)->isAutoRepeat() &&
                    qobject_cast<QAbstractButton*>(watched))
                    return true;
                return m_dropping;
            case QEvent::Shortcut:
                if (m_dropping)
                    return true;
                if (auto* button = qobject_cast<QAbstractButton*>(watched);
                    button && !static_cast<QShortcutEvent*>(event)->isAmbiguous()) {
                    // An access key acts at once, on the button as it is now; Qt's own click
                    // comes a tenth of a second later, when the button may have been disabled
                    // or may have come to mean something else ("&Go !" after "&Stop !").
                    button->click();
                    return true;
                }
                return false;
            case QEvent::KeyRelease:
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::Wheel:
            case QEvent::ContextMenu:
                return m_dropping;
            default:
                return false;
        }
    }

private:
    const bool& m_dropping;
};

}  // namespace

void Tmain::installInputGate() {
    m_inputGate = new InputGate(m_droppingInput, this);
    qApp->installEventFilter(m_inputGate);
}

void Tmain::commandPressed(QPushButton* button, void (Tmain::*handler)()) {
    if (!button->isEnabled())
        return;
    RunFlags& flags = m_renamer.flags();
    if (m_renamer.commandRunning()) {
        // Inside a run: its own button's Stop, or nothing.
        (this->*handler)();
        m_stopRequested = m_stopRequested || flags.GoStopRequested || flags.ScanStopRequested;
        return;
    }
    if (m_sinceStoppedRun.isValid() &&
        m_sinceStoppedRun.elapsed() < QApplication::doubleClickInterval())
        return;
    m_stopRequested = false;
    (this->*handler)();
    dropPendingInput();
    if (m_stopRequested)
        m_sinceStoppedRun.restart();
    else
        m_sinceStoppedRun.invalidate();
    m_stopRequested = false;
}

void Tmain::dropPendingInput() {
    m_droppingInput = true;
    QCoreApplication::processEvents();
    m_droppingInput = false;
}

void Tmain::guard(const std::function<void()>& reaction) {
    try {
        reaction();
    } catch (...) {
        // Nothing may cross Qt's event handling; the commands return to idle on their own.
        showError(currentErrorText());
    }
}

void Tmain::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FormResize();
}

bool Tmain::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate)
        guard([this] { FormActivate(); });
    return QWidget::event(event);
}

void Tmain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Where the platform never activates the window, the options still come right after it is
    // shown.
    QTimer::singleShot(0, this, [this] { guard([this] { FormActivate(); }); });
}

void Tmain::closeEvent(QCloseEvent* event) {
    // A running command holds the window's state: it ends by its own Stop or its end.
    bool mayClose = false;
    guard([&] { mayClose = FormClose(); });
    if (mayClose)
        event->accept();
    else
        event->ignore();
}

void Tmain::contextMenuEvent(QContextMenuEvent* event) {
    // Not exec(): a walk that is handling events goes on while the menu is open.
    m_popupMenu1->popup(event->globalPos());
}

void Tmain::keyPressEvent(QKeyEvent* event) {
    // Enter presses the focused button, and else the default button "&Go !"; a held key never
    // presses it again. In "Start dir" it confirms the folder, as leaving the field does: a path
    // typed and confirmed must never rename at once, with the rules of last time and no preview.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (event->isAutoRepeat())
            return;
        if (focusWidget() == optionControl(Option::Edit1)) {
            guard([this] { Edit1Exit(); });
            return;
        }
        auto* focused = qobject_cast<QPushButton*>(focusWidget());
        QPushButton* target = focused ? focused : m_button1;
        if (target->isEnabled())
            target->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool Tmain::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_statusBar1 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        guard([this] { StatusBar1Click(); });
    } else if (watched == m_rulesSign && event->type() == QEvent::MouseButtonRelease &&
               static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        guard([this] { MoreRules1Click(); });
    } else if (watched == optionControl(Option::Edit1) && event->type() == QEvent::FocusOut) {
        // Leaving the field for another control, not the window for another window.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            guard([this] { Edit1Exit(); });
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace zr
