#include "qt/ShapeFrame.h"

#include <QPainter>
#include <QRegion>

namespace kestivo {

ShapeFrame::ShapeFrame(QWidget* parent, QColor border) : QWidget(parent), border_(border)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

void ShapeFrame::resizeEvent(QResizeEvent*)
{
    // The cosmetic pen's pixel lies within the outermost logical pixel.
    setMask(QRegion(rect()) - QRegion(rect().adjusted(1, 1, -1, -1)));
}

void ShapeFrame::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QPen pen(border_, 0); // cosmetic: one device pixel at any scale
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}

} // namespace kestivo
