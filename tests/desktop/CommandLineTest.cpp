// The command line as a shell user meets it: what each argument list prints where, and the exit
// status a script sees.

#include "app/CommandLine.h"
#include "app/AppInfo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Outcome {
    std::optional<int> status;
    std::string out, err;
};

Outcome run(std::initializer_list<const char*> arguments) {
    const std::vector<const char*> list(arguments);
    std::ostringstream out, err;
    const auto status = cli::handle(list, out, err);
    return {status, out.str(), err.str()};
}

long lines(const std::string& text) {
    return std::count(text.begin(), text.end(), '\n');
}

enum class Prints { Nothing, Help, Version, Error };

} // namespace

TEST(CommandLine, EachArgumentListEndsOrStartsAsAShellUserExpects) {
    struct Row {
        std::initializer_list<const char*> arguments;
        std::optional<int> status;
        Prints prints;
        const char* culprit = nullptr; // the argument an error names
    };
    const Row rows[] = {
        {{}, std::nullopt, Prints::Nothing},
        {{"--help"}, cli::success, Prints::Help},
        {{"-h"}, cli::success, Prints::Help},
        {{"--version"}, cli::success, Prints::Version},
        {{"--version", "--help"}, cli::success, Prints::Help},
        {{"--help", "--help"}, cli::success, Prints::Help},
        {{"--bogus"}, cli::usageError, Prints::Error, "--bogus"},
        {{"--help", "--bogus"}, cli::usageError, Prints::Error, "--bogus"},
        {{"--bogus", "--version"}, cli::usageError, Prints::Error, "--bogus"},
        {{"--help=all"}, cli::usageError, Prints::Error, "--help=all"},
        {{"-hv"}, cli::usageError, Prints::Error, "-hv"},
        {{"-"}, cli::usageError, Prints::Error, "-"},
        {{"lesson.txt"}, cli::usageError, Prints::Error, "lesson.txt"},
        {{""}, cli::usageError, Prints::Error, ""},
        // The toolkit's own options are not taken: the display comes from DISPLAY.
        {{"-display", ":1"}, cli::usageError, Prints::Error, "-display"},
    };
    for (const Row& row : rows) {
        std::string shown;
        for (const char* a : row.arguments)
            shown += std::string("'") + a + "' ";
        SCOPED_TRACE(shown);
        const Outcome r = run(row.arguments);
        EXPECT_EQ(r.status, row.status);
        switch (row.prints) {
        case Prints::Nothing:
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(r.err, "");
            break;
        case Prints::Help:
            EXPECT_NE(r.out.find("Usage: tapirun"), std::string::npos) << r.out;
            EXPECT_NE(r.out.find("--version"), std::string::npos) << r.out;
            EXPECT_EQ(r.err, "");
            break;
        case Prints::Version:
            EXPECT_EQ(r.out, "Tapirun " + std::string(appinfo::version) + "\n");
            EXPECT_EQ(r.err, "");
            break;
        case Prints::Error:
            EXPECT_EQ(r.out, "") << "nothing on standard output, so a pipe does not take the error for data";
            EXPECT_EQ(lines(r.err), 1) << r.err;
            EXPECT_EQ(r.err.rfind("tapirun: ", 0), 0u) << r.err;
            EXPECT_NE(r.err.find(std::string("'") + row.culprit + "'"), std::string::npos)
                << "names the argument it did not understand: " << r.err;
            break;
        }
    }
}

TEST(CommandLine, AMissingDisplayIsOneLineAndStatusOne) {
    std::ostringstream err;
    EXPECT_EQ(cli::reportNoDisplay("cannot open display :7: refused", err), cli::noDisplay);
    EXPECT_EQ(err.str(), "tapirun: cannot open display :7: refused\n");
}

TEST(CommandLine, TheProgramNameIsNoArgument) {
    const char* argv[] = {"tapirun", "--version"};
    const auto arguments = cli::arguments(2, argv);
    ASSERT_EQ(arguments.size(), 1u);
    EXPECT_STREQ(arguments[0], "--version");
    EXPECT_TRUE(cli::arguments(1, argv).empty());
    EXPECT_TRUE(cli::arguments(0, argv).empty()) << "a caller may pass not even the name";
}
