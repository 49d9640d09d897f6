#pragma once

#include <QLabel>

namespace kestivo {

// A label of the title block: its text in the label font, bold drawn by
// the label itself. The Kai faces have no bold of their own, and the
// emboldening that the font system supplies differs with the scale (bitmap
// strikes at 1x, lighter outlines above) and the platform, so here every
// glyph outline is widened by the same share of its size everywhere, as a
// bold weight would be.
class TitleLabel final : public QLabel {
    Q_OBJECT
public:
    TitleLabel(const QString& text, QWidget* parent);

    // How much a glyph's strokes widen: this share of the font's size.
    static constexpr double kEmboldening = 1.0 / 24;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace kestivo
