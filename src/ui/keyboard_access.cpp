// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/keyboard_access.h"

#include <QAbstractItemView>
#include <QLabel>
#include <QWidget>

namespace zr {

namespace {

QWidget* child(QWidget& window, const char* name) {
    auto* widget = window.findChild<QWidget*>(QString::fromLatin1(name));
    Q_ASSERT_X(widget, "keyboard access", name);
    return widget;
}

}  // namespace

void chainTabs(QWidget& window, std::span<const char* const> order) {
    QWidget* previous = nullptr;
    for (const char* name : order) {
        QWidget* widget = child(window, name);
        // Tab inside a list would move from cell to cell and never leave it.
        if (auto* view = qobject_cast<QAbstractItemView*>(widget))
            view->setTabKeyNavigation(false);
        if (previous)
            QWidget::setTabOrder(previous, widget);
        previous = widget;
    }
}

void nameControls(QWidget& window, std::span<const SpokenName> names) {
    for (const SpokenName& spoken : names) {
        QWidget* control = child(window, spoken.control);
        control->setAccessibleName(QString::fromLatin1(spoken.name));
        if (spoken.label)
            static_cast<QLabel*>(child(window, spoken.label))->setBuddy(control);
    }
}

}  // namespace zr
