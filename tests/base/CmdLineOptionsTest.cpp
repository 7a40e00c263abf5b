#include "base/CmdLineOptions.h"

#include <gtest/gtest.h>

namespace {

using enum TOptionKind;

// The option tables of the three programs, in their order.
constexpr TOptionDef SentryOptions[] = {{"hide", okFlag}, {"dark", okFlag}, {"force", okFlag}};
constexpr TOptionDef MobileOptions[] = {{"dark", okFlag}, {"close", okFlag}, {"force", okFlag}};
constexpr TOptionDef LauncherOptions[] = {
    {"force", okFlag}, {"term", okFlag}, {"logmode", okValue}, {"prompt", okFlag}, {"lockscreen", okFlag},
    {"dark", okFlag},  {"end", okValue}, {"suspend", okValue}, {"ini", okValue},
};
constexpr const char* EndWords[] = {"shutdown", "lockdown", "logoff", "restart", "poweroff"};
constexpr const char* SuspendWords[] = {"standby", "hibernate"};

struct TMatchCase
{
    std::span<const TOptionDef> Table;
    const char* Arg;
    bool IsOption;
    int Index;
    const char* Value;
};

// Names the case in test lists by its argument.
void PrintTo(const TMatchCase& c, std::ostream* os)
{
    *os << '"' << c.Arg << '"';
}

class OptionMatch : public testing::TestWithParam<TMatchCase>
{
};

TEST_P(OptionMatch, FirstFittingEntryTakesTheArgument)
{
    const TMatchCase& c = GetParam();
    const TOptionMatch m = MatchOption(QString::fromUtf8(c.Arg), c.Table);
    EXPECT_EQ(m.IsOption, c.IsOption);
    EXPECT_EQ(m.Index, c.Index);
    EXPECT_EQ(m.Value, QString::fromUtf8(c.Value));
}

INSTANTIATE_TEST_SUITE_P(
    Grammars, OptionMatch,
    testing::Values(
        // OvSentry: -h is hide; an empty word fits the first entry.
        TMatchCase{SentryOptions, "-h", true, 0, ""}, TMatchCase{SentryOptions, "-", true, 0, ""},
        TMatchCase{SentryOptions, "--FORCE", true, 2, ""}, TMatchCase{SentryOptions, "-hidden", true, -1, ""},
        TMatchCase{SentryOptions, "task.buj", false, -1, ""},
        // OvMobile: -F, --force and -fo are force, a lone prefix is dark, -x fits nothing.
        TMatchCase{MobileOptions, "-F", true, 2, ""}, TMatchCase{MobileOptions, "--force", true, 2, ""},
        TMatchCase{MobileOptions, "-fo", true, 2, ""}, TMatchCase{MobileOptions, "-c", true, 1, ""},
        TMatchCase{MobileOptions, "-", true, 0, ""}, TMatchCase{MobileOptions, "--", true, 0, ""},
        TMatchCase{MobileOptions, "-x", true, -1, ""},
        // OvLauncher: valued options need the colon, so "l" alone is lockscreen.
        TMatchCase{LauncherOptions, "-", true, 0, ""}, TMatchCase{LauncherOptions, "-l", true, 4, ""},
        TMatchCase{LauncherOptions, "-lo:0", true, 2, "0"},
        TMatchCase{LauncherOptions, "-LogMode:", true, 2, ""},
        TMatchCase{LauncherOptions, "-E:SHUT", true, 6, "SHUT"},
        TMatchCase{LauncherOptions, "-end:", true, 6, ""},
        TMatchCase{LauncherOptions, "-ini:/a:b/c.ini", true, 8, "/a:b/c.ini"},
        TMatchCase{LauncherOptions, "-p", true, 3, ""}, TMatchCase{LauncherOptions, "-d", true, 5, ""},
        // A flag typed with a value fits no flag; a value option without its colon fits nothing.
        TMatchCase{LauncherOptions, "-force:1", true, -1, ""},
        TMatchCase{LauncherOptions, "-end", true, -1, ""},
        TMatchCase{LauncherOptions, "-erractions:2", true, -1, ""},
        TMatchCase{LauncherOptions, "Daily backup", false, -1, ""}));

TEST(OptionWords, MatchByPrefixInOrder)
{
    const auto end = [](const char* Typed) { return MatchWord(QString::fromUtf8(Typed), EndWords); };
    EXPECT_EQ(end(""), 0);  // shutdown
    EXPECT_EQ(end("l"), 1); // lockdown is tried before logoff
    EXPECT_EQ(end("log"), 2);
    EXPECT_EQ(end("p"), 4);
    EXPECT_EQ(end("RESTART"), 3);
    EXPECT_EQ(end("restarts"), -1);
    EXPECT_EQ(end("sleep"), -1);
    EXPECT_EQ(MatchWord(QString(), SuspendWords), 0);
    EXPECT_EQ(MatchWord(QStringLiteral("h"), SuspendWords), 1);
}

TEST(CommandLine, QuotesAnArgumentWithABlankAsAWhole)
{
    EXPECT_EQ(QuoteArgument(QStringLiteral("/home/u/task.buj")), QStringLiteral("/home/u/task.buj"));
    EXPECT_EQ(QuoteArgument(QStringLiteral("/home/u/my task.buj")),
              QStringLiteral("\"/home/u/my task.buj\""));
    EXPECT_EQ(QuoteArgument(ValueArgument(QStringLiteral("ini"), QStringLiteral("/home/u/my cfg/x.ini"),
                                          QStringLiteral("/"))),
              QStringLiteral("\"/ini:/home/u/my cfg/x.ini\""));
    EXPECT_EQ(QuoteArgument(QStringLiteral("a \"b\"")), QStringLiteral("\"a \"\"b\"\"\""));
    // Kept apart on the way back, so these are quoted as well.
    EXPECT_EQ(QuoteArgument(QStringLiteral("a\"b")), QStringLiteral("\"a\"\"b\""));
    EXPECT_EQ(QuoteArgument(QString()), QStringLiteral("\"\""));

    EXPECT_EQ(FlagArgument(QStringLiteral("force")), QStringLiteral("-force"));
    EXPECT_EQ(
        JoinCommandLine({QStringLiteral("Work"), QStringLiteral("Photo backup"), QStringLiteral("-force"),
                         ValueArgument(QStringLiteral("end"), QStringLiteral("shutdown")),
                         QStringLiteral("-term")}),
        QStringLiteral("Work \"Photo backup\" -force -end:shutdown -term"));
}

TEST(CommandLine, SplitsAtBlanksOutsideQuotes)
{
    EXPECT_EQ(SplitCommandLine(QStringLiteral("  Work \"Photo backup\"\t-force  -end:shutdown -term ")),
              (QStringList{QStringLiteral("Work"), QStringLiteral("Photo backup"), QStringLiteral("-force"),
                           QStringLiteral("-end:shutdown"), QStringLiteral("-term")}));
    // Quotes may open inside an argument; an empty pair is an empty argument.
    EXPECT_EQ(SplitCommandLine(QStringLiteral("-ini:\"/my cfg/\"x.ini \"\" \"say \"\"hi\"\"\"")),
              (QStringList{QStringLiteral("-ini:/my cfg/x.ini"), QString(), QStringLiteral("say \"hi\"")}));
    // An unclosed quote runs to the end.
    EXPECT_EQ(SplitCommandLine(QStringLiteral("a \"b c")),
              (QStringList{QStringLiteral("a"), QStringLiteral("b c")}));
    EXPECT_TRUE(SplitCommandLine(QStringLiteral("   ")).isEmpty());
}

TEST(CommandLine, SplitGivesBackWhatJoinWrote)
{
    const QStringList args = {QStringLiteral("/opt/Orvanta suite/Orvanta"),
                              QStringLiteral("/startapp:ovlauncher"),
                              QStringLiteral("/logdir:/var/log/my logs"),
                              QStringLiteral("say \"\"twice\"\""),
                              QString(),
                              QStringLiteral("tab\there"),
                              QStringLiteral("\""),
                              QStringLiteral("/force")};
    EXPECT_EQ(SplitCommandLine(JoinCommandLine(args)), args);
}

} // namespace
