// The pause after a failed wait for input, which keeps the X11 wait from
// spinning when ppoll fails for another reason than a signal.
#include <gtest/gtest.h>

#include <limits>

#include "runtime/platform/posix/posix.h"

namespace {

using rt::platform::posix::retryPause;

TEST(RetryPause, TenMillisecondsWithoutANearDeadline) {
    EXPECT_DOUBLE_EQ(retryPause(5.0, std::numeric_limits<double>::infinity()), 0.010);
    EXPECT_DOUBLE_EQ(retryPause(5.0, 7.0), 0.010);
}

TEST(RetryPause, NeverPastTheDeadlineAndNothingOncePassed) {
    EXPECT_NEAR(retryPause(5.0, 5.004), 0.004, 1e-12);
    EXPECT_EQ(retryPause(5.0, 5.0), 0.0);
    EXPECT_EQ(retryPause(5.0, 4.0), 0.0);
}

}  // namespace
