#include "base/PathUtils.h"

#include "fixtures/TestFiles.h"

#include <gtest/gtest.h>

namespace {

TEST(PathUtils, SplitsAndJoinsNames)
{
    EXPECT_EQ(IncludeTrailingPathDelimiter(QStringLiteral("/a/b")), QStringLiteral("/a/b/"));
    EXPECT_EQ(IncludeTrailingPathDelimiter(QStringLiteral("/a/b/")), QStringLiteral("/a/b/"));
    EXPECT_EQ(ExcludeTrailingPathDelimiter(QStringLiteral("/a/b/")), QStringLiteral("/a/b"));
    EXPECT_EQ(ExcludeTrailingPathDelimiter(QStringLiteral("/")), QStringLiteral("/"));
    EXPECT_EQ(ExtractFilePath(QStringLiteral("/a/b.c/d")), QStringLiteral("/a/b.c/"));
    EXPECT_EQ(ExtractFilePath(QStringLiteral("d.ini")), QString());
    EXPECT_EQ(ExtractFileName(QStringLiteral("/a/b.c/d.ini")), QStringLiteral("d.ini"));
    EXPECT_EQ(ExtractFileExt(QStringLiteral("/a/b.c/d")), QString());
    EXPECT_EQ(ExtractFileExt(QStringLiteral("/a/d.tar.gz")), QStringLiteral(".gz"));
    EXPECT_EQ(ChangeFileExt(QStringLiteral("/a.b/x.ini"), QStringLiteral(".cfg")),
              QStringLiteral("/a.b/x.cfg"));
    EXPECT_EQ(ChangeFileExt(QStringLiteral("/a.b/x"), QStringLiteral(".cfg")), QStringLiteral("/a.b/x.cfg"));
    EXPECT_EQ(JoinPath(QStringLiteral("/a/"), QStringLiteral("/b")), QStringLiteral("/a/b"));
    EXPECT_EQ(JoinPath(QStringLiteral("/a"), QStringLiteral("b")), QStringLiteral("/a/b"));
}

TEST(PathUtils, ExpandsEnvironmentVariables)
{
    TScopedEnv env("OV_TEST_VAR", QStringLiteral("/home/u"));
    EXPECT_EQ(ExpandEnvironmentVariables(QStringLiteral("%OV_TEST_VAR%/cfg/x.ini")),
              QStringLiteral("/home/u/cfg/x.ini"));
    EXPECT_EQ(ExpandEnvironmentVariables(QStringLiteral("a%OV_TEST_VAR%b%OV_TEST_VAR%")),
              QStringLiteral("a/home/ub/home/u"));
    // Unknown names, lone and doubled signs stay as they are.
    EXPECT_EQ(ExpandEnvironmentVariables(QStringLiteral("%OV_NOT_SET_ANYWHERE%/x")),
              QStringLiteral("%OV_NOT_SET_ANYWHERE%/x"));
    EXPECT_EQ(ExpandEnvironmentVariables(QStringLiteral("100% sure")), QStringLiteral("100% sure"));
    EXPECT_EQ(ExpandEnvironmentVariables(QStringLiteral("5% of %OV_TEST_VAR%")),
              QStringLiteral("5% of /home/u"));
}

} // namespace
