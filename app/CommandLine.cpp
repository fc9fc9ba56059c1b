#include "app/CommandLine.h"

#include "app/AppInfo.h"

namespace cli {

namespace {

constexpr std::string_view programName = "tapirun";

constexpr std::string_view usage =
    "Usage: tapirun [OPTION]\n"
    "A full-screen touch-typing tutor for the Japanese 106/109-key keyboard.\n"
    "\n"
    "  -h, --help     show this help and exit\n"
    "      --version  show the version and exit\n"
    "\n"
    "Without options it opens its full-screen window on the current desktop.\n";

} // namespace

// Every argument is read before any is acted on, so a slip anywhere is reported even next to
// --help. The program takes no operands, so anything that is not an option is a slip as well.
std::optional<int> handle(std::span<const char* const> arguments, std::ostream& out, std::ostream& err) {
    bool help = false;
    bool version = false;
    for (const std::string_view argument : arguments) {
        if (argument == "-h" || argument == "--help") {
            help = true;
        } else if (argument == "--version") {
            version = true;
        } else {
            const std::string_view what =
                argument.starts_with('-') ? "unknown option" : "unexpected argument";
            err << programName << ": " << what << " '" << argument << "' (see '" << programName
                << " --help')\n";
            return usageError;
        }
    }
    if (help) {
        out << usage;
        return success;
    }
    if (version) {
        out << "Tapirun " << appinfo::version << '\n';
        return success;
    }
    return std::nullopt;
}

int reportNoDisplay(std::string_view why, std::ostream& err) {
    err << programName << ": " << why << '\n';
    return noDisplay;
}

} // namespace cli
