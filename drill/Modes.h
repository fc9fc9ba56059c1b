#pragma once

#include <string_view>

namespace drill {

// Mode indices as the mode selector lists them; the selector's index is the mode.
inline constexpr int TestMode = 5;
inline constexpr int KeyboardMode = 6;

// The characters a mode draws its targets from: the unshifted legends of the JIS keyboard, row by
// row. The backslash stands for two keys (yen and ro) and so appears twice in the full set. The
// keyboard mode and any index outside the list have no drill, hence the empty set.
std::string_view drillSetFor(int mode);

} // namespace drill
