#include "platform/FileTime.h"

#include <gtest/gtest.h>

using namespace Platform;

namespace {

TEST(FileTime, ConvertsBetweenTheEpochs)
{
    EXPECT_EQ(FileTimeFromUnix(0, 0), 116444736000000000LL);
    // 2000-01-01T00:00:00Z, as Windows reports it.
    EXPECT_EQ(DateTimeToFileTime(QDateTime(QDate(2000, 1, 1), QTime(0, 0), Qt::UTC)), 125911584000000000LL);
    EXPECT_EQ(FileTimeToDateTime(125911584000000000LL), QDateTime(QDate(2000, 1, 1), QTime(0, 0), Qt::UTC));
    EXPECT_EQ(FileTimeToDateTime(0), QDateTime(QDate(1601, 1, 1), QTime(0, 0), Qt::UTC));

    for (const TFileTime t : {TFileTime(125911584000000000LL + 1234567), TFileTime(UnixEpochAsFileTime - 1),
                              TFileTime(UnixEpochAsFileTime - 10000001)}) {
        std::int64_t s = 0, ns = 0;
        FileTimeToUnix(t, s, ns);
        EXPECT_GE(ns, 0) << t;
        EXPECT_LT(ns, 1000000000) << t;
        EXPECT_EQ(FileTimeFromUnix(s, ns), t);
    }
}

} // namespace
