#include "qt/TitleLabel.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

namespace kestivo {

TitleLabel::TitleLabel(const QString& text, QWidget* parent) : QLabel(text, parent)
{
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void TitleLabel::paintEvent(QPaintEvent*)
{
    // The outlines of the regular face, filled and stroked: the stroke adds
    // half its width to each side of every stroke.
    QFont regular = font();
    regular.setWeight(QFont::Normal);
    QPainterPath outline;
    const QRectF box = contentsRect();
    outline.addText(box.topLeft() + QPointF(0, QFontMetricsF(regular, this).ascent()), regular, text());

    const double emPixels = regular.pointSizeF() * logicalDpiY() / 72.0;
    const QColor ink = palette().color(QPalette::WindowText);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setClipRect(box);
    painter.setPen(QPen(ink, emPixels * kEmboldening, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(ink);
    painter.drawPath(outline);
}

} // namespace kestivo
