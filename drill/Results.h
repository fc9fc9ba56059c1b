#pragma once

#include "drill/Session.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace drill {

// Accuracy in hundredths of a percent: the exact quotient correct × 100 / presses rounded to the
// nearest hundredth, an exact tie going to the lower one (9.375 → 9.37). Integers only, so no
// binary fraction can tip a tie. Zero when there were no correct answers.
std::int64_t accuracyHundredths(std::int32_t presses, std::int32_t misses);

// The shortest decimal form, without trailing zeros: 6667 → "66.67", 8750 → "87.5", 10000 → "100".
std::string formatHundredths(std::int64_t hundredths, std::string_view decimalSeparator);

// The grade of a one-minute test by its correct answers.
std::string_view gradeFor(std::int32_t correct);

// The character with the largest average reaction time; the lower code wins a tie, and the space
// character stands for "none" when no average is above 0 ms.
char weakKey(const KeyStats& stats);
// The character with the smallest average below 5000 ms; the lower code wins a tie, and the space
// character stands for "none".
char strongKey(const KeyStats& stats);

} // namespace drill
