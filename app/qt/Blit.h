#pragma once

class QImage;
class QPainter;
class QRectF;

namespace kestivo {

// painter.drawImage(target, image, source), in strips of rows: under a clip
// of more than one rectangle (a region partly exposed) Qt 6 hands an image
// of a hundred rows or so to worker threads and waits for them, for ever if
// none can start. A strip stays on the caller's thread, where a frame's copy
// costs less than waking a worker would. Target and source have the same
// shape (the image at the paint device's pixel ratio).
void drawImageInStrips(QPainter& painter, const QRectF& target, const QImage& image, const QRectF& source);

} // namespace kestivo
