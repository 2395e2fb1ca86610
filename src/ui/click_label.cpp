#include "ui/click_label.h"

#include <QMouseEvent>
#include <QPainter>

namespace orm::ui {

void ClickLabel::enterEvent(QEnterEvent* event) {
    QLabel::enterEvent(event);
    emit mouseEntered();
}

void ClickLabel::leaveEvent(QEvent* event) {
    QLabel::leaveEvent(event);
    emit mouseLeft();
}

void ClickLabel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) m_leftDown = true;
    emit mousePressed(event->button());
    event->accept();
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        const bool click = m_leftDown && rect().contains(event->position().toPoint());
        m_leftDown = false;
        if (click) emit clicked();
    }
    emit mouseReleased(event->button());
    event->accept();
}

QPixmap LogoPixmap(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal unit = size / 32.0;
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(40, 48, 64));
    painter.drawRoundedRect(QRectF(1 * unit, 1 * unit, 30 * unit, 30 * unit), 5 * unit, 5 * unit);
    // A platter with its spindle and a head arm: a disk, and nothing else left on it.
    painter.setBrush(QColor(200, 206, 216));
    painter.drawEllipse(QPointF(15 * unit, 16 * unit), 11 * unit, 11 * unit);
    painter.setBrush(QColor(40, 48, 64));
    painter.drawEllipse(QPointF(15 * unit, 16 * unit), 2.5 * unit, 2.5 * unit);
    painter.setPen(QPen(QColor(220, 40, 40), 2.5 * unit, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(28 * unit, 5 * unit), QPointF(19 * unit, 19 * unit));
    return pixmap;
}

}  // namespace orm::ui
