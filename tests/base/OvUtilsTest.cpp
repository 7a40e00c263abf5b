#include "base/OvUtils.h"

#include "fixtures/TestFiles.h"

#include "platform/ProcessInfo.h"

#include <QFileInfo>
#include <QLocale>
#include <gtest/gtest.h>

namespace {

TEST(OvUtils, OrdinalsInEnglish)
{
    const std::pair<int, const char*> cases[] = {
        {0, "no "},      {1, "1st "},     {2, "2nd "},     {3, "3rd "},   {4, "4th "},   {11, "11th "},
        {12, "12th "},   {13, "13th "},   {21, "21st "},   {22, "22nd "}, {23, "23rd "}, {25, "25th "},
        {101, "101st "}, {111, "111th "}, {112, "112th "}, {-1, "-1th "},
    };
    for (const auto& [n, text] : cases)
        EXPECT_EQ(Ordinal(n), QString::fromUtf8(text)) << n;
}

TEST(OvUtils, VersionIsCutToItsLeadingParts)
{
    const QString v = QStringLiteral("1.2.8.123");
    EXPECT_EQ(CutVersion(v, 3), QStringLiteral("1.2.8"));
    EXPECT_EQ(CutVersion(v, 2), QStringLiteral("1.2"));
    EXPECT_EQ(CutVersion(v, 4), v);
    EXPECT_EQ(CutVersion(v, 9), v);
    EXPECT_EQ(CutVersion(v, 1), QStringLiteral("1"));
    EXPECT_EQ(CutVersion(v, 0), QStringLiteral("1"));

    const QString own = Platform::ReadVersionValues().FileVersion;
    EXPECT_EQ(GetVersionText(3), QStringLiteral("Version ") + own.section(QLatin1Char('.'), 0, 2));
    EXPECT_EQ(GetVersionText(4), QStringLiteral("Version ") + own);
}

TEST(OvUtils, ProgramInfoNamesTheProgramAndItsDate)
{
    QString name, date;
    GetProgramInfo(QStringLiteral("Fallback"), QStringLiteral("Version 9"), 3, name, date);
    EXPECT_EQ(name, QStringLiteral("base_tests (") + GetVersionText(3) + QLatin1Char(')'));
    const QDate written = QFileInfo(Platform::ExecutablePath()).lastModified().date();
    EXPECT_EQ(date, QLocale().toString(written, QLocale::ShortFormat));
}

TEST(OvUtils, BitnessAndDriveTemplate)
{
    EXPECT_EQ(BitnessText(), sizeof(void*) == 8 ? QStringLiteral(" - 64-bit") : QStringLiteral(" - 32-bit"));
    EXPECT_EQ(DefaultDriveTemplate(QStringLiteral("de")), QStringLiteral("Lw?"));
    EXPECT_EQ(DefaultDriveTemplate(QStringLiteral("DE")), QStringLiteral("Lw?"));
    EXPECT_EQ(DefaultDriveTemplate(QStringLiteral("en")), QStringLiteral("Drv?"));
    EXPECT_EQ(DefaultDriveTemplate(QString()), QStringLiteral("Drv?"));
}

TEST(OvUtils, HelpFileIsInTheProgramFolder)
{
    TTestDir dir;
    const TProgramEnvironment env{dir.Path(QStringLiteral("prog/")), QStringLiteral("OvMobile"), QString(),
                                  dir.Root()};
    EXPECT_EQ(GetHelpFile(env), dir.Path(QStringLiteral("prog/ove-help.chm")));
    // Nothing to open: no handler is started.
    EXPECT_FALSE(ShowHelp(QStringLiteral("ov-device.html"), env));
    EXPECT_EQ(HelpNotAvailableText(), QStringLiteral("Help is not available on this system!"));
}

} // namespace
