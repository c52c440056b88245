#include "window_icon.h"

#include <QPainter>
#include <QPixmap>

namespace {

QPixmap drawIcon(int size)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    const qreal u = size / 16.0;
    p.scale(u, u);
    p.setPen(QPen(Qt::darkBlue, 1.0 / u * (size >= 32 ? 1.5 : 1.0)));
    // Two sheets fanning out behind the envelope.
    p.setBrush(Qt::white);
    p.drawRect(QRectF(8.5, 0.5, 6, 8));
    p.drawRect(QRectF(10.5, 2.5, 5, 7));
    // The envelope with its flap.
    p.setBrush(Qt::yellow);
    p.drawRect(QRectF(0.5, 6.5, 11, 8));
    p.drawPolyline(QPolygonF({QPointF(0.5, 6.5), QPointF(6, 11), QPointF(11.5, 6.5)}));
    // A red arrow from the envelope towards the sheets.
    p.setPen(QPen(Qt::red, 1.5));
    p.drawLine(QPointF(6, 5), QPointF(9, 2));
    p.drawLine(QPointF(9, 2), QPointF(7, 2));
    p.drawLine(QPointF(9, 2), QPointF(9, 4));
    return pm;
}

} // namespace

QIcon makeWindowIcon()
{
    QIcon icon;
    icon.addPixmap(drawIcon(16));
    icon.addPixmap(drawIcon(32));
    return icon;
}
