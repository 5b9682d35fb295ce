#pragma once
// A material of the design: an image and the four border widths of its
// framed (nine-slice) drawing, with the tiling flags of the stretched
// pieces. Materials are registered by name in the interface and copied into
// widgets.

#include "render/Image.h"

namespace Ui {

using Material = Render::ImageFrame;

// The whole image stretched into the rectangle (no borders).
inline Material wholeImage(Render::Image* image) {
    Material m;
    m.image = image;
    return m;
}

} // namespace Ui
