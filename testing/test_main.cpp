// The tests' entry point: GoogleTest's, after the platform's preparation.
#include <gtest/gtest.h>

namespace carrowin::testing {
void prepareTestProcess();
}

int main(int argc, char** argv)
{
    carrowin::testing::prepareTestProcess();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
