#include "drill/Session.h"

#include "drill/Modes.h"

#include <algorithm>
#include <numeric>

namespace drill {

void KeyStats::add(int code, std::uint32_t reactionMs) {
    if (code < First || code > Last) return;
    auto& entry = m_entries[static_cast<std::size_t>(code - First)];
    entry.totalMs += reactionMs;
    entry.answers += 1;
}

std::uint32_t KeyStats::totalAnswers() const {
    return std::accumulate(m_entries.begin(), m_entries.end(), 0u,
                           [](std::uint32_t sum, const Entry& e) { return sum + e.answers; });
}

bool Session::isTest() const {
    return m_mode == TestMode;
}

Preparation Session::prepare(int mode) {
    m_mode = mode;
    m_state.DrillSet = std::string(drillSetFor(mode));
    if (mode == KeyboardMode) {
        m_phase = Phase::Keyboard;
        return Preparation::Keyboard;
    }
    const bool hasSet = !m_state.DrillSet.empty();
    if (hasSet) m_state.keyStats.clear();
    m_state.Presses = -1;
    m_state.Misses = 0;
    if (!hasSet) return Preparation::NoDrill;
    if (m_phase != Phase::Running) m_phase = Phase::Prepared;
    return Preparation::Drill;
}

Verdict Session::type(char32_t typed, std::uint32_t tickMs, std::uint32_t highResolution) {
    if (!m_state.Running) {
        if (typed != Space || m_phase != Phase::Prepared) return Verdict::Nothing;
        m_state.Running = true;
        m_phase = Phase::Running;
        m_random.reseed(highResolution);
        nextQuestion(tickMs);
        return Verdict::Started;
    }
    // Space in a test is no answer at all: counting it would raise the grade for nothing typed.
    if (typed == Space && isTest()) return Verdict::Passed;
    m_state.Presses += 1;
    if (typed == static_cast<unsigned char>(m_state.Target)) {
        // Unsigned subtraction gives the true interval across a wrap of the tick counter.
        m_state.keyStats.add(static_cast<int>(typed), tickMs - m_state.StartTick);
        nextQuestion(tickMs);
        return Verdict::Correct;
    }
    if (typed == Space) {
        m_state.Running = false;
        m_phase = Phase::Idle;
        return Verdict::Ended;
    }
    m_state.Misses += 1;
    return Verdict::Wrong;
}

// Positions are drawn, not distinct characters, so a character listed twice comes twice as often;
// a draw equal to the current target is drawn again, so no target follows itself.
void Session::nextQuestion(std::uint32_t tickMs) {
    const auto& set = m_state.DrillSet;
    const bool hasOther = set.find_first_not_of(m_state.Target) != std::string::npos;
    char next = m_state.Target;
    while (hasOther && next == m_state.Target)
        next = set[m_random.draw(static_cast<std::uint32_t>(set.size()))];
    m_state.Target = next;
    m_state.StartTick = tickMs;
}

std::uint32_t Session::flashColour(std::uint32_t highResolution) {
    m_random.reseed(highResolution);
    const std::uint32_t red = m_random.draw(255);
    const std::uint32_t green = m_random.draw(255);
    const std::uint32_t blue = m_random.draw(255);
    return red + green * 256 + blue * 65536;
}

bool Session::testTick(int seconds) {
    m_state.TestTicks += static_cast<std::uint32_t>(std::max(1, seconds));
    if (m_state.TestTicks < 60) return false;
    m_state.Running = false;
    m_phase = Phase::Idle;
    return true;
}

void Session::leaveKeyboard() {
    m_state.Running = false;
    m_phase = Phase::Idle;
}

} // namespace drill
