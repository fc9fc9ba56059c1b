#pragma once

// The program's emblem: a raised tabby cat's paw, drawn once in a character grid and handed out both
// as an icon (with a see-through mask) and as a plain bitmap for picture boxes that key on a colour.

#include "platform/Platform.h"

#include <span>
#include <string_view>

namespace catpaw {

// The 32×32 16-colour icon with its mask: window icon and the three small pictures.
const platform::Picture& icon();

// The same drawing as a 24-bit bitmap on fuchsia (no mask): its bottom-left pixel is fuchsia, the colour
// a transparent picture box leaves out.
const platform::Picture& bitmap();

// The source drawing, top row first, one character per pixel; '.' is see-through.
std::span<const std::string_view> grid();

} // namespace catpaw
