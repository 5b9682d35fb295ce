#include "platform/Error.h"

#include <gtest/gtest.h>

#include <cerrno>

TEST(PlatformError, ErrnoMapsToWin32Numbers) {
    EXPECT_EQ(Platform::errorFromErrno(ENOENT), 2);
    EXPECT_EQ(Platform::errorFromErrno(EACCES), 5);
    EXPECT_EQ(Platform::errorFromErrno(ENOMEM), 14);
    EXPECT_EQ(Platform::errorFromErrno(EINVAL), 87);
}

TEST(PlatformError, KeeperRestoresErrorAndErrno) {
    Platform::setLastError(5);
    errno = EACCES;
    {
        Platform::ErrorKeeper keep;
        Platform::setLastError(2);
        errno = ENOENT;
    }
    EXPECT_EQ(Platform::lastError(), 5);
    EXPECT_EQ(errno, EACCES);
}
