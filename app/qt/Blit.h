#pragma once

class QImage;
class QPainter;
class QRectF;

namespace kestivo {

// painter.drawImage(target, image, source), in strips of rows: Qt 6.4
// hands some 50,000 pixels and more of an image to worker threads and
// waits for them, for ever if none can start. Target and source have the
// same shape (the image at the paint device's pixel ratio).
void drawImageInStrips(QPainter& painter, const QRectF& target, const QImage& image, const QRectF& source);

} // namespace kestivo
