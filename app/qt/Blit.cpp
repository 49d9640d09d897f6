#include "qt/Blit.h"

#include <QImage>
#include <QPainter>
#include <QRectF>

#include <algorithm>
#include <cmath>

namespace kestivo {

namespace {
constexpr double kStripPixels = 4096;
} // namespace

void drawImageInStrips(QPainter& painter, const QRectF& target, const QImage& image, const QRectF& source)
{
    if (source.isEmpty())
        return;
    const double yScale = target.height() / source.height();
    const double rows = std::max(1.0, std::floor(kStripPixels / source.width()));
    for (double top = source.top(); top < source.bottom(); top += rows) {
        const QRectF strip(source.left(), top, source.width(), std::min(rows, source.bottom() - top));
        painter.drawImage(QRectF(target.left(), target.top() + (top - source.top()) * yScale,
                                 target.width(), strip.height() * yScale),
                          image, strip);
    }
}

} // namespace kestivo
