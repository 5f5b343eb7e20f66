// Test runner entry: each test program writes the trace log like the real
// programs, into its own working folder, so that log calls are exercised.
#include <gtest/gtest.h>

#include "support/Log.h"

QVX_DEFINE_LOG_FILE(g_testLogFile);

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
