#include "platform/TestSupport.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    platform::test::initialise(argc, argv);
    const int status = RUN_ALL_TESTS();
    platform::test::shutdown();
    return status;
}
