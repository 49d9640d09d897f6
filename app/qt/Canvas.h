#pragma once

#include "surface/Pixels.h"

#include <QWidget>

#include <functional>

namespace kestivo {

class Picture;

// Throws std::bad_alloc unless memory remains for what Qt allocates, and
// does not check, in a frame's repaint or a change of cursor.
void requireHeadroom();

// Shows the session's picture. The picture is in device pixels; paintEvent
// copies only the exposed region, and a window larger than the picture
// shows the background beyond it.
class Canvas final : public QWidget {
    Q_OBJECT
public:
    Canvas(QWidget* parent, const Picture& picture);

    // The window's device pixel ratio is not the picture's scale (it moved
    // to another screen): told at the paint that shows it, before painting.
    std::function<void(double ratio)> onRescale;

    // Schedules a repaint of the part of the window that shows these device
    // pixels of the picture; the event loop paints it.
    void present(const DirtyRegion& dirty);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    [[nodiscard]] bool copyInto(QPainter& painter, const QRegion& exposed);

    const Picture& picture_;
};

} // namespace kestivo
