#include "captioned_frame.h"

#include <QPainter>
#include <QStyle>
#include <qdrawutil.h>

void CaptionedFrame::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QFontMetrics metrics = fontMetrics();
    // An etched line, as the native frame's, half the caption's height down, less one.
    const int lineY = metrics.height() / 2 - 1;
    qDrawShadeRect(&painter, rect().adjusted(0, lineY, 0, 0), palette(), true, 1, 0);

    // The caption, 8 pixels in, on the window's background where it crosses the line.
    const QString caption = title();
    const QRect at(8, 0, metrics.horizontalAdvance(caption) + 4, metrics.height());
    painter.fillRect(at, palette().window());
    style()->drawItemText(&painter, at, Qt::AlignCenter | Qt::TextShowMnemonic, palette(), isEnabled(), caption,
                          QPalette::WindowText);
}
