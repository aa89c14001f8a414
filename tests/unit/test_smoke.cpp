#include <gtest/gtest.h>
#include "core/log.h"
TEST(Log, LineFeedRule) { EXPECT_EQ(tnFormatLogLine("S", "m"), "S- m\n"); }
