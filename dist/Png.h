#pragma once

#include "platform/Platform.h"

#include <string>

namespace png {

// Writes the picture as an 8-bit RGBA PNG; masked pixels become fully transparent. The image data
// goes into stored (uncompressed) deflate blocks: icons are small, and the build needs no library
// for them.
bool write(const platform::Picture& picture, const std::string& path);

} // namespace png
