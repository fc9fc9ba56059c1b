#pragma once

// The one factor every backend draws the design at, whatever scale the desktop or the browser asks
// for. The design gives every place, size and font in pixels at 96 pixels per inch, with one-pixel
// frames and a 32-pixel picture drawn pixel for pixel. Only a whole factor keeps each of those
// frames the same whole number of device pixels on all four sides and each of the picture's pixels a
// square block, wherever on the screen it lies: at 1.5, a one-pixel frame would be one device pixel
// on some sides and two on others, or a blend of the frame's colour and the black beside it. So the
// asked scale is rounded to a whole factor, and text, which every toolkit draws at the device's own
// resolution, stays sharp at any factor.
//
// Rounding: up from three quarters, down below (1.25 and 1.5 give 1, 1.75 gives 2, 2.5 gives 2).
// Drawing larger than asked pushes the design past the screen the desktop promised, which a learner
// with a small screen at 150 % would lose the bottom of; drawing smaller keeps every control in view
// and the drill's letters, the largest in the design, are still large. Only at three quarters and
// above is the shrink bigger than the growth. Qt's RoundPreferFloor rounds a desktop's scale the same
// way. A scale below 1 is taken as 1 (the design is not drawn smaller than its pixels), one above 3
// as 3, and one that is not a number at all as 1.

#include "platform/Platform.h"

namespace platform {

// The whole number of device pixels each pixel of the design is drawn as: 1, 2 or 3.
int drawingFactor(double askedScale);

// The screen in the program's own pixels, which centring and docking read: the device pixels divided
// by the factor, truncated; the few device pixels left over at the right and bottom stay black.
Size programScreen(Size devicePixels, int factor);

} // namespace platform
