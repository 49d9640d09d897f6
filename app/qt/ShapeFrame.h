#pragma once

#include <QColor>
#include <QWidget>

namespace kestivo {

// A rectangle shape: a one-pixel border, its interior not painted (the
// picture below shows through), deaf to the mouse.
class ShapeFrame final : public QWidget {
    Q_OBJECT
public:
    ShapeFrame(QWidget* parent, QColor border);

    [[nodiscard]] QColor borderColour() const { return border_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    // The widget is its border alone: a repaint of the picture inside it
    // does not paint it too.
    void resizeEvent(QResizeEvent* event) override;

private:
    QColor border_;
};

} // namespace kestivo
