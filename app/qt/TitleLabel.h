#pragma once

#include <QImage>
#include <QLabel>

namespace kestivo {

// A label of the title block: its text in the label font, bold drawn by
// the label itself. The Kai faces have no bold of their own, and the
// emboldening that the font system supplies differs with the scale (bitmap
// strikes at 1x, lighter outlines above) and the platform, so here every
// glyph outline is widened by the same share of its size everywhere, as a
// bold weight would be. Widening outlines is slow (some 5 ms a label), so
// the text is drawn once for each scale and size and shown from then on.
class TitleLabel final : public QLabel {
    Q_OBJECT
public:
    TitleLabel(const QString& text, QWidget* parent);

    // How much a glyph's strokes widen: this share of the font's size.
    static constexpr double kEmboldening = 1.0 / 24;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    [[nodiscard]] QImage drawText(double scale) const;

    QImage drawn_; // the text alone, at the scale last painted
};

} // namespace kestivo
