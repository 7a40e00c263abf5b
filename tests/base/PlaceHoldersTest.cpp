#include "base/PlaceHolders.h"

#include "fixtures/TestFiles.h"

#include <QProcess>
#include <gtest/gtest.h>

namespace {

TPlaceholderEnv At(QDate Date, QTime Time = QTime(14, 5, 9), QLocale Locale = QLocale(QLocale::English),
                   Platform::TVolumes* Volumes = nullptr)
{
    return {QDateTime(Date, Time), Locale, QStringLiteral("anna"), QStringLiteral("pc1"), Volumes};
}

QString Date(const char* Text, const TPlaceholderEnv& Env, int Counter = 0)
{
    return ReplaceDatePlaceholders(QString::fromUtf8(Text), Counter, Env);
}

TEST(PlaceHolders, DateAndTimeSets)
{
    const TPlaceholderEnv env = At(QDate(2010, 12, 4));
    EXPECT_EQ(Date("Backup_%date%_%TIME%", env), QStringLiteral("Backup_2010-12-04_140509"));
    const struct
    {
        const char* Text;
        const char* Value;
    } cases[] = {
        {"%yaw%", "2010-48"},
        {"%dow%", "Sat"},
        {"%LDOW%", "Saturday"},
        {"%dnw%", "6"},
        {"%day%", "338"},
        {"%week%", "48"},
        {"%dom%", "04"},
        {"%wom%", "1"},
        {"%month%", "12"},
        {"%lmonth%", "December"},
        {"%year%", "2010"},
        {"%user%", "anna"},
        {"%computer%", "pc1"},
        {"%hour%", "14"},
        {"%minute%", "05"},
        {"%username%", "anna"},
        {"%computername%", "pc1"},
        {"[%volume%%mode%%d#?%%w#?%%m#?%%v#?%]", "[]"},
        {"%date%%date%-%Date%", "2010-12-042010-12-04-2010-12-04"},
        {"%perspath%/%foo%/100%", "%perspath%/%foo%/100%"}, // not of these sets
    };
    for (const auto& c : cases)
        EXPECT_EQ(Date(c.Text, env), QString::fromUtf8(c.Value)) << c.Text;

    // Year and week go by the ISO week's own year; names follow the locale, without dots.
    EXPECT_EQ(Date("%yaw%", At(QDate(2010, 1, 2))), QStringLiteral("2009-53"));
    EXPECT_EQ(Date("%yaw%", At(QDate(2010, 1, 4))), QStringLiteral("2010-01"));
    EXPECT_EQ(Date("%yaw%", At(QDate(2024, 12, 30))), QStringLiteral("2025-01"));
    const TPlaceholderEnv german = At(QDate(2010, 12, 4), QTime(8, 0), QLocale(QLocale::German));
    EXPECT_EQ(Date("%dow% %ldow% %lmonth%", german), QStringLiteral("Sa Samstag Dezember"));
    // Week of the month: the row in a calendar whose weeks begin on Monday.
    EXPECT_EQ(Date("%wom%", At(QDate(2010, 12, 5))), QStringLiteral("1")); // Sunday of the first row
    EXPECT_EQ(Date("%wom%", At(QDate(2010, 12, 6))), QStringLiteral("2"));
    EXPECT_EQ(Date("%wom%", At(QDate(2010, 5, 31))), QStringLiteral("6"));
}

TEST(PlaceHolders, RotatingCounters)
{
    const TPlaceholderEnv day10 = At(QDate(2010, 1, 10));
    const struct
    {
        const char* Text;
        int Counter;
        const char* Value;
    } cases[] = {
        {"%d#7%", 1, "3"},          {"%v#12%", 13, "01"},
        {"%v#12%", 0, "%v#12%"},    {"%d#x%", 1, ""},
        {"%d#0%", 1, ""},           {"%d#%", 1, ""},
        {"%D#7%-%d#7%", 1, "3-3"},  {"%d#7%-%d#3%", 1, "3-%d#3%"}, // only the first number counts
        {"%d#7", 1, "%d#7"},        {"%d#366%", 1, "010"},
        {"%w#53%", 1, "01"},        {"%m#12%", 1, "01"},
        {"%v#100%", 250, "050"},    {"%d#99999999999%", 1, ""},
        {"%v#3%", 2147483647, "1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Date(c.Text, day10, c.Counter), QString::fromUtf8(c.Value)) << c.Text << " " << c.Counter;
}

TEST(PlaceHolders, EnvironmentAndDestination)
{
    TScopedEnv temp("OV_TEST_TEMP", QStringLiteral("/var/tmp/ov"));
    TScopedEnv empty("OV_TEST_EMPTY", QString());
    EXPECT_EQ(ReplaceEnvironmentPlaceholders(QStringLiteral("%evar(OV_TEST_TEMP)%\\x")),
              QStringLiteral("/var/tmp/ov\\x"));
    EXPECT_EQ(ReplaceEnvironmentPlaceholders(QStringLiteral("%EVAR(OV_TEST_TEMP)%/a/%evar(OV_TEST_TEMP)%")),
              QStringLiteral("/var/tmp/ov/a//var/tmp/ov"));
    for (const char* stays : {"%evar(OV_TEST_UNSET_ANYWHERE)%/x", "%evar(OV_TEST_EMPTY)%",
                              "%evar(OV_TEST_TEMP%", "%evar()%", "5%evar(OV_TEST_TEMP)"})
        EXPECT_EQ(ReplaceEnvironmentPlaceholders(QString::fromUtf8(stays)), QString::fromUtf8(stays));
    // A "%" before the token pairs with its first sign: the token is not found.
    EXPECT_EQ(ReplaceEnvironmentPlaceholders(QStringLiteral("50%/%evar(OV_TEST_TEMP)%")),
              QStringLiteral("50%/%evar(OV_TEST_TEMP)%"));

    const TPlaceholderEnv env = At(QDate(2010, 12, 4));
    EXPECT_EQ(ReplaceDestPlaceholders(QStringLiteral("%evar(OV_TEST_TEMP)%/%VOLUME%/%date%/%v#3%"),
                                      QStringLiteral("Data"), 4, env),
              QStringLiteral("/var/tmp/ov/Data/2010-12-04/1"));
}

TEST(PlaceHolders, PathSet)
{
    TTestDir dir;
    const QString home = dir.Path(QStringLiteral("home"));
    TScopedEnv h("HOME", home);
    TScopedEnv c("XDG_CONFIG_HOME", home + QStringLiteral("/cfg/"));
    TScopedEnv d("XDG_DATA_HOME", home + QStringLiteral("/data"));
    TScopedEnv p("ProgramW6432", QStringLiteral("/opt/programs/"));
    TScopedEnv a("ALLUSERSPROFILE", QStringLiteral("/srv/all"));
    TScopedEnv pub("PUBLIC", QStringLiteral("/srv/public"));
    const TPlaceholderEnv env = At(QDate(2010, 12, 4));
    const struct
    {
        const char* Text;
        QString Value;
    } cases[] = {
        {"%PersPath%\\x", home + QStringLiteral("/Documents\\x")},
        {"%apppath%", home + QStringLiteral("/cfg")},
        {"%appdata%", home + QStringLiteral("/cfg")},
        {"%localappdata%", home + QStringLiteral("/data")},
        {"%profile%|%userprofile%", home + QLatin1Char('|') + home},
        {"%desktop%", home + QStringLiteral("/Desktop")},
        {"%favorites%", home + QStringLiteral("/Favorites")},
        {"%programfiles%", QStringLiteral("/opt/programs")},
        {"%allusersprofile%|%programdata%", QStringLiteral("/srv/all|/srv/all")},
        {"%public%", QStringLiteral("/srv/public")},
        {"%user%@%computername%", QStringLiteral("anna@pc1")},
        {"%date%", QStringLiteral("%date%")},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReplacePathPlaceholders(QString::fromUtf8(c.Text), env), c.Value) << c.Text;
    EXPECT_EQ(ReplacePathPlaceholders(QString(), env), QString());
    EXPECT_FALSE(ReplacePathPlaceholders(QStringLiteral("%progpath%"), env).endsWith(QLatin1Char('/')));
}

TEST(PlaceHolders, LogNameSet)
{
    Platform::TVolumeTable volumes;
    volumes.Add(QStringLiteral("/"), QStringLiteral("root"));
    volumes.Add(QStringLiteral("/media/anna/USB"), QStringLiteral("BACKUP"));
    const TPlaceholderEnv env = At(QDate(2019, 7, 4), QTime(6, 7, 8), QLocale(QLocale::English), &volumes);
    const struct
    {
        const char* Text;
        const char* Dest;
        const char* Value;
    } cases[] = {
        {"%drive%\\logs", "\\\\srv\\share\\dir", "\\\\srv\\share\\logs"},
        {"%drive%\\logs", "C:\\dir", "C:\\logs"},
        {"%drive%/logs|%volume%", "/media/anna/USB/b/c", "/media/anna/USB/logs|BACKUP"},
        {"%drive%/logs|%volume%", "/home/anna", "/logs|root"},
        {"%drive%|%volume%", ":backup:/x", "/media/anna/USB|BACKUP"},
        {"%drive%|%volume%", ":other:/x", "|"},
        {"%volume%", "\\\\srv\\share", ""},
        {"%dest%/%date%_%time%_%yaw%_%yam%_%year%_%username%_%computername%", "/b",
         "/b/2019-07-04_060708_2019-27_2019-07_2019_anna_pc1"},
        {"%dow%%user%", "/b", "%dow%%user%"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReplaceLogPlaceholders(QString::fromUtf8(c.Text), QString::fromUtf8(c.Dest), env),
                  QString::fromUtf8(c.Value))
            << c.Text << " with " << c.Dest;
}

// Differential: the calendar values against GNU date for every day of 41 years.
TEST(PlaceHolders, AgreeWithGnuDate)
{
    TTestDir dir;
    QByteArray dates;
    QStringList ours;
    for (QDate d(2000, 1, 1); d.year() <= 2040; d = d.addDays(1)) {
        dates += d.toString(Qt::ISODate).toLatin1() + '\n';
        ours.append(Date("%yaw% %day% %week% %dnw% %year%-%month%-%dom% %dow% %ldow% %lmonth%", At(d)));
    }
    const QString file = dir.Write(QStringLiteral("dates"), dates);
    QProcess date;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    env.insert(QStringLiteral("TZ"), QStringLiteral("UTC"));
    date.setProcessEnvironment(env);
    date.start(QStringLiteral("date"),
               {QStringLiteral("-f"), file, QStringLiteral("+%G-%V %j %V %u %F %a %A %B")});
    ASSERT_TRUE(date.waitForFinished(60000));
    const QStringList theirs =
        QString::fromUtf8(date.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(theirs.size(), ours.size());
    int differences = 0;
    for (qsizetype i = 0; i < ours.size() && differences < 5; ++i)
        if (ours[i] != theirs[i]) {
            ++differences;
            ADD_FAILURE() << "ours " << ours[i].toStdString() << ", date " << theirs[i].toStdString();
        }
}

} // namespace
