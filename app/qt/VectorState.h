#pragma once

namespace kestivo {

// Some of Qt's AVX2 pixel routines (QImage::fill among them) return with the
// upper halves of the vector registers still dirty. Until that is cleared,
// every SSE instruction after them pays a transition penalty: the sine and
// cosine behind each point become ten times slower. Call this after handing
// pixels to Qt; it is a no-op where the processor has no AVX.
void clearUpperVectorState() noexcept;

} // namespace kestivo
