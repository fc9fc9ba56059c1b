#pragma once

// The command line of a desktop program: help and version for the curious, a clear error for a
// typing slip, all decided before any window opens so that these work without a display.

#include <optional>
#include <ostream>
#include <span>
#include <string_view>

namespace cli {

// The exit statuses that tell a calling script what went wrong.
inline constexpr int success = 0;
inline constexpr int noDisplay = 1;
inline constexpr int usageError = 2;

// The arguments after the program's name; none when the caller did not even give a name.
inline std::span<const char* const> arguments(int argc, const char* const* argv) {
    return argc > 1 ? std::span(argv + 1, static_cast<std::size_t>(argc - 1))
                    : std::span<const char* const>();
}

// Reads the arguments after the program name. Returns the exit status when the program should
// end here (after --help, --version or a wrong argument), or nothing when it should start.
std::optional<int> handle(std::span<const char* const> arguments, std::ostream& out, std::ostream& err);

// Says in one line that the display cannot be reached and gives the status to exit with.
int reportNoDisplay(std::string_view why, std::ostream& err);

} // namespace cli
