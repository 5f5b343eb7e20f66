#include <gtest/gtest.h>

#include "support/Log.h"

TEST(LogSmoke, TimestampHasLayout) {
    char stamp[32];
    EXPECT_EQ(LOG_TIMESTAMP(stamp), 0);
    EXPECT_EQ(strlen(stamp), 18u);
}
