// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/app_icon.h"

#include <QPainter>
#include <QPainterPath>

namespace zr {

// Two sheets of paper, the old name and the new, with an arrow from one to the other.
QPixmap appIconPixmap() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);

    auto sheet = [&p](QRectF r, const QColor& fill, const QColor& lines) {
        QPainterPath outline;
        outline.moveTo(r.left(), r.top());
        outline.lineTo(r.right() - 5, r.top());
        outline.lineTo(r.right(), r.top() + 5);
        outline.lineTo(r.right(), r.bottom());
        outline.lineTo(r.left(), r.bottom());
        outline.closeSubpath();
        p.setPen(QPen(QColor(60, 60, 70), 1));
        p.setBrush(fill);
        p.drawPath(outline);
        p.setPen(QPen(lines, 1.5));
        for (qreal y = r.top() + 7; y < r.bottom() - 2; y += 3.5)
            p.drawLine(QPointF(r.left() + 3, y), QPointF(r.right() - 3, y));
    };
    sheet(QRectF(1.5, 1.5, 16, 20), QColor(236, 236, 228), QColor(150, 150, 150));
    sheet(QRectF(14.5, 10.5, 16, 20), QColor(255, 250, 214), QColor(40, 90, 170));

    QPainterPath arrow;
    arrow.moveTo(4, 26);
    arrow.lineTo(9, 26);
    arrow.lineTo(9, 23);
    arrow.lineTo(14, 27.5);
    arrow.lineTo(9, 32);
    arrow.lineTo(9, 29);
    arrow.lineTo(4, 29);
    arrow.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(214, 96, 28));
    p.drawPath(arrow);
    return pixmap;
}

}  // namespace zr
