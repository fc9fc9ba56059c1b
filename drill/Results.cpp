#include "drill/Results.h"

#include <array>

namespace drill {

std::int64_t accuracyHundredths(std::int32_t presses, std::int32_t misses) {
    if (misses >= presses) return 0;
    const std::int64_t correct = static_cast<std::int64_t>(presses) - misses;
    const std::int64_t scaled = correct * 10000;
    const std::int64_t whole = scaled / presses;
    const std::int64_t remainder = scaled % presses;
    // Only a remainder above half rounds up; exactly half stays on the lower hundredth.
    return 2 * remainder > presses ? whole + 1 : whole;
}

std::string formatHundredths(std::int64_t hundredths, std::string_view decimalSeparator) {
    std::string text = std::to_string(hundredths / 100);
    const auto fraction = static_cast<int>(hundredths % 100);
    if (fraction == 0) return text;
    text += decimalSeparator;
    text += static_cast<char>('0' + fraction / 10);
    if (fraction % 10 != 0) text += static_cast<char>('0' + fraction % 10);
    return text;
}

std::string_view gradeFor(std::int32_t correct) {
    struct Step {
        std::int32_t atLeast;
        std::string_view grade;
    };
    // clang-format off
    static constexpr std::array<Step, 7> Steps = {{
        {101, "一級"}, {89, "二級"}, {78, "三級"}, {67, "四級"}, {56, "五級"}, {45, "六級"}, {34, "七級"},
    }};
    // clang-format on
    for (const Step& s : Steps)
        if (correct >= s.atLeast) return s.grade;
    return "級外";
}

namespace {
std::uint32_t average(const KeyStats::Entry& e) {
    return e.totalMs / e.answers;
}
} // namespace

char weakKey(const KeyStats& stats) {
    std::uint32_t best = 0;
    char weak = ' ';
    for (int code = KeyStats::First; code <= KeyStats::Last; ++code) {
        const auto& e = stats[code];
        if (e.answers > 0 && average(e) > best) {
            best = average(e);
            weak = static_cast<char>(code);
        }
    }
    return weak;
}

char strongKey(const KeyStats& stats) {
    std::uint32_t best = 5000;
    char strong = ' ';
    for (int code = KeyStats::First; code <= KeyStats::Last; ++code) {
        const auto& e = stats[code];
        if (e.answers > 0 && average(e) < best) {
            best = average(e);
            strong = static_cast<char>(code);
        }
    }
    return strong;
}

} // namespace drill
