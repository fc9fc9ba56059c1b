#pragma once

// What the main window gives the screen reader to speak: one line per event, worded apart from the
// handlers so that the words can be read and changed in one place.

#include <cstdint>
#include <string>
#include <string_view>

namespace speech {

// A character as the reader is told it.
std::string key(char32_t ch);
// A new target.
std::string target(char32_t ch);
// A wrong key, and the target it missed.
std::string miss(char32_t typed, char32_t target);
// The practice results in one sentence, as the screen shows them: the keys only where they show.
std::string practiceResults(std::int32_t presses, std::int32_t misses, std::string_view accuracy,
                            bool withKeys, char weakKey, char strongKey);
// The test's grade and its count of characters, as the screen shows them.
std::string testResult(std::string_view grade, std::string_view count);

} // namespace speech
