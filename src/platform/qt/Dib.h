#pragma once

#include <optional>

#include <QImage>

#include "core/Bytes.h"

namespace ks {

// A device-independent bitmap: a 40-byte BITMAPINFOHEADER and the pixels,
// rows bottom-up. Images with an alpha channel are written with 32 bits per
// pixel (B, G, R, A), others with 24; the resolution is kept, so an image
// comes back from its bitmap pixel for pixel.
Bytes imageToDib(const QImage& image);
// Reads the two forms imageToDib writes; any other bitmap is read by Qt's
// BMP reader. Nothing when the bytes are no bitmap.
std::optional<QImage> dibToImage(const Bytes& dib);

}  // namespace ks
