#include "qt/TitleLabel.h"

#include "form/Layout.h"
#include "qt/Blit.h"

#include <QEvent>
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

QImage TitleLabel::drawText(double scale) const
{
    QImage image((QSizeF(size()) * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);

    // The outlines of the regular face, filled and stroked: the stroke adds
    // half its width to each side of every stroke.
    QFont regular = font();
    regular.setWeight(QFont::Normal);
    const double emPixels = regular.pointSizeF() * logicalDpiY() / 72.0;
    const QFontMetricsF metrics(regular, this);
    QPainterPath outline;
    const QRectF box = contentsRect();
    outline.addText(box.topLeft() + QPointF(0, layout::textBaseline(emPixels, metrics.ascent(), metrics.descent())),
                    regular, text());

    const QColor ink = palette().color(QPalette::WindowText);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setClipRect(box);
    painter.setPen(QPen(ink, emPixels * kEmboldening, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(ink);
    painter.drawPath(outline);
    return image;
}

void TitleLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    // The scale of what is painted on: the screen's, or an image's that
    // the label is rendered into.
    const double scale = painter.deviceTransform().m11();
    if (drawn_.devicePixelRatio() != scale || drawn_.size() != (QSizeF(size()) * scale).toSize())
        drawn_ = drawText(scale);
    drawImageInStrips(painter, QRectF(rect()), drawn_, QRectF(drawn_.rect()));
}

void TitleLabel::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange)
        drawn_ = QImage();
    QLabel::changeEvent(event);
}

} // namespace kestivo
