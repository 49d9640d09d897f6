#pragma once

#include "surface/Pixels.h"

#include <QWidget>

#include <exception>
#include <functional>

namespace kestivo {

class Picture;

// Throws std::bad_alloc unless memory remains for what Qt allocates, and
// does not check, in a frame's repaint or a change of cursor.
void requireHeadroom();

// Shows the session's picture. The picture is in device pixels; paintEvent
// copies only the exposed region, and a window larger than the picture
// shows the background beyond it. At a paint on a screen of another scale
// the picture is drawn again at that scale first.
class Canvas final : public QWidget {
    Q_OBJECT
public:
    Canvas(QWidget* parent, Picture& picture);

    // Where a failure in painting goes (an allocation that the picture could
    // not get): Qt's event dispatch must never see it.
    std::function<void(std::exception_ptr)> onFailure;

    // Repaints the part of the window that shows these device pixels of the
    // picture, synchronously: the frame reaches the screen without running
    // the event loop.
    void present(const DirtyRegion& dirty);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void failed() noexcept;
    [[nodiscard]] bool copyInto(QPainter& painter, const QRegion& exposed);

    Picture& picture_;
};

} // namespace kestivo
