#pragma once

// Resizing a square pixel drawing for the desktop's icon sizes without inventing colours: every
// pixel of the result is a colour of the drawing or see-through, so edges stay hard and the
// see-through parts stay see-through.

#include "platform/Platform.h"

namespace pixelart {

// The picture as a size × size icon (with a mask: true = see-through).
//
// At least as large as the drawing: the drawing enlarged by the largest whole factor that fits,
// every pixel a solid square block, centred on a see-through square. 64, 128 and 256 hold the 32
// pixel paw 2, 4 and 8 times enlarged; 48 holds it once, with an 8 pixel margin, since 1.5 times
// would draw some pixels one wide and others two.
//
// Smaller than the drawing (24 and 16): each target pixel covers an area of source pixels and
// takes the colour that covers most of it, see-through when at least half is. Outlines are one
// pixel wide and the darkest ink of such a drawing, and a plain majority would let the fill
// swallow them where two pixels become one, so the darkest colour of the area counts double, and
// a tie goes to the darker colour.
platform::Picture resized(const platform::Picture& source, int size);

} // namespace pixelart
