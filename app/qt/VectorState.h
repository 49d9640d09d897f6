#pragma once

namespace kestivo {

// Some of Qt's AVX2 pixel routines (QImage::fill among them) return with the
// upper halves of the vector registers still dirty. Until that is cleared,
// every SSE instruction after them pays a penalty: arithmetic runs up to
// seven times slower. A click comes straight from painting the pressed
// button, so call this before a routine runs; it is a no-op where the
// processor has no AVX.
void clearUpperVectorState() noexcept;

} // namespace kestivo
