#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    platform::test::initialise(argc, argv);
    const int status = RUN_ALL_TESTS();
    platform::test::shutdown();
    // In the browser the program may have waited in the page for a picture, after which its main
    // returns to nobody: only exit hands the status on.
    std::exit(status);
}
