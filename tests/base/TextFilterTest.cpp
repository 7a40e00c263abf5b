#include "base/TextFilter.h"

#include <QProcess>
#include <QStringList>

#include <cstdint>
#include <gtest/gtest.h>

#include <iterator>
#include <utility>

namespace {

struct TCase
{
    bool FileFilter;
    bool Regular;
    TFilterMode Mode;
    const char* Filter;
    const char* Name;
    bool Passes;
};

// The documented cases and the mask syntax, each as one row.
const TCase Cases[] = {
    // a list of masks, case ignored; the dot is an ordinary character
    {true, false, fmInclude, "*.txt|*.doc", "a.TXT", true},
    {true, false, fmInclude, "*.txt|*.doc", "b.doc", true},
    {true, false, fmInclude, "*.txt|*.doc", "a.txt.bak", false},
    // "!" inverts one mask
    {true, false, fmInclude, "!*.tmp", "x.doc", true},
    {true, false, fmInclude, "!*.tmp", "x.TMP", false},
    // "+": every mask must match
    {true, false, fmInclude, "+a*|*.txt", "abc.txt", true},
    {true, false, fmInclude, "+a*|*.txt", "abc.doc", false},
    {true, false, fmInclude, "+a*|*.txt", "x.txt", false},
    // "*." selects names without extension in a file filter
    {true, false, fmInclude, "*.", "README", true},
    {true, false, fmInclude, "*.", "README.md", false},
    // a mask without extension gets ".*": "abc" is "abc.*"
    {true, false, fmInclude, "abc", "abc.txt", true},
    {true, false, fmInclude, "abc", "abc", false},
    // a leading empty mask ends an or-list while the result is still true
    {false, false, fmInclude, "|*.txt", "anything", true},
    {false, false, fmInclude, "*.txt||*.doc", "x.doc", true},
    {false, false, fmInclude, "*.txt||*.doc", "x.pdf", false},
    // "*" alone takes every name in a file filter too; excluded, it rejects every name
    {true, false, fmInclude, "*", "Makefile", true},
    {true, false, fmExclude, "*", "Makefile", false},
    {false, false, fmExclude, "*", "a.b", false},
    {true, false, fmOff, "*.txt", "x.doc", true},
    // sets, ranges, negated sets, one character
    {false, false, fmInclude, "file[0-9].log", "file7.log", true},
    {false, false, fmInclude, "file[0-9].log", "fileX.log", false},
    {false, false, fmInclude, "[a-c]x", "Bx", true},
    {false, false, fmInclude, "[A-C]x", "bx", true},
    {false, false, fmInclude, "[!a-c]x", "dx", true},
    {false, false, fmInclude, "[!a-c]x", "Ax", false},
    {false, false, fmInclude, "[_!]x", "!x", true},
    {false, false, fmInclude, "a?c", "abc", true},
    {false, false, fmInclude, "a?c", "ac", false},
    {false, false, fmInclude, "*]*", "a]b", true},
    // letters beyond ASCII ignore case too; "?" takes a whole character outside the BMP
    {false, false, fmInclude, "ÄRGER*", "ärger.txt", true},
    {false, false, fmInclude, "[ä-ö]*", "Öl", true},
    {false, false, fmInclude, "a?b",
     "a\xF0\x9F\x98\x80"
     "b",
     true},
    {false, false, fmInclude, "a??b",
     "a\xF0\x9F\x98\x80"
     "b",
     false},
    // regular expressions: an unanchored search
    {true, true, fmInclude, "\\.txt$", "A.TXT", true},
    {true, true, fmInclude, "\\.txt$", "a.txt.bak", false},
    {true, true, fmInclude, "^tmp", "tmpfile", true},
    {true, true, fmInclude, "^tmp", "my-tmp", false},
    {true, true, fmExclude, "bak", "x.bak", false},
    {true, true, fmInclude, "ä", "Ä.txt", true},
};

TEST(TextFilter, SelectsNamesByMasksAndExpressions)
{
    for (const TCase& c : Cases) {
        TTextFilter f(c.FileFilter, true);
        f.SetRegular(c.Regular);
        f.SetMode(c.Mode);
        f.SetFilter(QString::fromUtf8(c.Filter));
        EXPECT_EQ(f.MatchesFilter(QString::fromUtf8(c.Name)), c.Passes)
            << c.Filter << " on " << c.Name << (c.FileFilter ? " (file filter)" : "");
    }
}

TEST(TextFilter, StoresWhatItFilters)
{
    TTextFilter f(true, true);
    EXPECT_EQ(f.Filter(), QStringLiteral("*"));
    EXPECT_EQ(f.Mode(), fmOff);
    EXPECT_EQ(f.MatchAll(), QStringLiteral("*"));
    f.SetFilter(QStringLiteral("abc"));
    EXPECT_EQ(f.Filter(), QStringLiteral("abc.*"));
    f.SetFilter(QStringLiteral("+x|y|z.doc|!w"));
    EXPECT_EQ(f.Filter(), QStringLiteral("+x.*|y.*|z.doc|!w.*"));
    f.SetFilter(QString());
    EXPECT_EQ(f.Filter(), QStringLiteral("*"));

    TTextFilter dir(false, true);
    dir.SetFilter(QStringLiteral("abc"));
    EXPECT_EQ(dir.Filter(), QStringLiteral("abc"));

    f.SetRegular(true);
    EXPECT_EQ(f.MatchAll(), QStringLiteral("."));
    f.SetFilter(QString());
    EXPECT_EQ(f.Filter(), QStringLiteral("."));
    f.SetFilter(QStringLiteral("^a"));
    EXPECT_EQ(f.Filter(), QStringLiteral("^a"));
    f.SetRegular(false); // the mask list is kept apart from the expression
    EXPECT_EQ(f.Filter(), QStringLiteral("*"));

    f.Reset();
    EXPECT_FALSE(f.Regular());
    EXPECT_EQ(f.Mode(), fmOff);
    EXPECT_EQ(f.Filter(), QStringLiteral("*"));
}

TEST(TextFilter, MalformedPatternsRaiseAndLeaveMatchAll)
{
    for (const char* mask : {"[abc", "*.[txt", "[]", "[!]", "[-a]x", "[a-]", "ok|bad[", "x[a-"}) {
        TTextFilter f(false, true);
        f.SetMode(fmInclude);
        f.SetFilter(QStringLiteral("*.doc"));
        try {
            f.SetFilter(QString::fromUtf8(mask));
            ADD_FAILURE() << "no error for " << mask;
        } catch (const EFilterError& e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Illegal mask!"));
        }
        EXPECT_EQ(f.Filter(), QStringLiteral("*")) << mask;
        EXPECT_TRUE(f.MatchesFilter(QStringLiteral("any.thing"))) << mask;
    }
    const QString deep = QString(300, QLatin1Char('(')) + QString(300, QLatin1Char(')'));
    const QString huge = QStringLiteral("a").repeated(40000);
    for (const QString& expr : {QStringLiteral("("), QStringLiteral("a{2,1}"), QStringLiteral("[z-a]"),
                                QStringLiteral("\\"), deep, huge}) {
        TTextFilter f(true, true);
        f.SetRegular(true);
        f.SetMode(fmInclude);
        EXPECT_THROW(
            {
                try {
                    f.SetFilter(expr);
                } catch (const EFilterError& e) {
                    EXPECT_EQ(e.Message(), QStringLiteral("Illegal regular expression!"));
                    throw;
                }
            },
            EFilterError)
            << expr.left(20).toStdString();
        EXPECT_EQ(f.Filter(), QStringLiteral("."));
        EXPECT_TRUE(f.MatchesFilter(QStringLiteral("x")));
    }
}

TEST(TextFilter, HostileMaskTakesPolynomialTime)
{
    // A backtracking matcher needs about C(10000, 7) and C(4000, 300) steps here: it would not end.
    for (const auto& [mask, length] :
         {std::pair{QStringLiteral("*a*a*a*a*a*a*a*b"), 10000},
          std::pair{QStringLiteral("*a").repeated(300) + QStringLiteral("*b"), 4000}}) {
        const QString name = QString(length, QLatin1Char('a'));
        TTextFilter f(false, true);
        f.SetMode(fmInclude);
        f.SetFilter(mask + QStringLiteral("|") + QStringLiteral("*[a-z]?[!x]").repeated(200) +
                    QStringLiteral("c"));
        EXPECT_FALSE(f.MatchesFilter(name));
        EXPECT_TRUE(f.MatchesFilter(name + QStringLiteral("b")));
    }
}

TEST(TextFilter, RunawayExpressionCountsAsNoMatch)
{
    const QString subject = QString(5000, QLatin1Char('a')) + QStringLiteral("!");
    const struct
    {
        const char* Expr;
        const char* Matching;
    } exprs[] = {{"(a+)+$", "aaa"},          {"(a|aa)+$", "aa"}, {"(?:a*)*b", "aab"},
                 {"^(\\w+\\s?)*$", "ab cd"}, {"(a|a?)+b", "ab"}, {"(a*)*c", "ac"}};
    for (const auto& [expr, matching] : exprs) {
        TTextFilter f(true, true);
        f.SetRegular(true);
        f.SetMode(fmInclude);
        f.SetFilter(QString::fromUtf8(expr));
        EXPECT_FALSE(f.MatchesFilter(subject)) << expr; // without the limits this would not end
        // The filter is still usable afterwards.
        EXPECT_TRUE(f.MatchesFilter(QString::fromUtf8(matching))) << expr;
        f.SetMode(fmExclude); // a stopped search is no match, so an excluding filter lets the name pass
        EXPECT_TRUE(f.MatchesFilter(subject)) << expr;
    }
}

TEST(TextFilter, RegExprReportsStoppedSearches)
{
    TRegExpr re;
    ASSERT_TRUE(re.Compile(QStringLiteral("(a+)+$"), false));
    EXPECT_EQ(re.Find(QString(30, QLatin1Char('a')) + QStringLiteral("!")), TRegExpr::TResult::Error);
    EXPECT_FALSE(re.ErrorText().isEmpty());
    EXPECT_EQ(re.Find(QStringLiteral("aaa")), TRegExpr::TResult::Match);
    EXPECT_EQ(re.Find(QString()), TRegExpr::TResult::NoMatch);
    // A lone surrogate in the subject is searched, not refused.
    const QString lone = QStringLiteral("x") + QChar(0xD800) + QStringLiteral("aa");
    EXPECT_EQ(re.Find(lone), TRegExpr::TResult::Match);
    EXPECT_FALSE(re.Compile(QStringLiteral("(?<n"), false));
    EXPECT_TRUE(re.ErrorText().contains(QStringLiteral("offset")));
    EXPECT_EQ(re.Find(QStringLiteral("a")), TRegExpr::TResult::Error);
}

TEST(TextFilter, AssignCopiesTheWholeSelection)
{
    TTextFilter a(true, true);
    a.SetRegular(true);
    a.SetMode(fmExclude);
    a.SetFilter(QStringLiteral("\\.bak$"));
    a.SetSeparator(QLatin1Char(';'));
    TTextFilter b(true, true);
    b.Assign(a);
    EXPECT_TRUE(b.Regular());
    EXPECT_EQ(b.Mode(), fmExclude);
    EXPECT_EQ(b.Separator(), QLatin1Char(';'));
    EXPECT_EQ(b.Filter(), QStringLiteral("\\.bak$"));
    EXPECT_FALSE(b.MatchesFilter(QStringLiteral("x.BAK")));
    EXPECT_TRUE(b.MatchesFilter(QStringLiteral("x.doc")));

    // The separator splits the list when matching.
    b.SetRegular(false);
    b.SetMode(fmInclude);
    b.SetFilter(QStringLiteral("*.a;*.b"));
    EXPECT_TRUE(b.MatchesFilter(QStringLiteral("x.b")));
    b.SetSeparator(QLatin1Char('|'));
    EXPECT_FALSE(b.MatchesFilter(QStringLiteral("x.b")));
}

TEST(TextFilter, MatchesMaskReportsMalformedMasks)
{
    bool malformed = false;
    EXPECT_TRUE(MatchesMask(QStringLiteral("E:\\B\\%date%\\"), QStringLiteral("*%*%*"), &malformed));
    EXPECT_FALSE(malformed);
    EXPECT_FALSE(MatchesMask(QStringLiteral("E:\\Back%up\\"), QStringLiteral("*%*%*")));
    EXPECT_FALSE(MatchesMask(QStringLiteral("[a"), QStringLiteral("[a"), &malformed));
    EXPECT_TRUE(malformed);
}

} // namespace

namespace {

// Differential: single masks against Python's fnmatch (case folded on both sides) on random masks
// and names. The two agree wherever both define a mask; malformed masks are not generated.
TEST(TextFilter, MasksAgreeWithPythonFnmatch)
{
    const char* const maskParts[] = {"a",    "b",    "B",     ".",       "*",  "?",
                                     "[ab]", "[!a]", "[a-c]", "[!b-c.]", "*a", "ä"};
    const char* const nameParts[] = {"a", "b", "c", "A", "B", ".", "Ä", "x"};
    std::uint32_t seed = 20261211;
    auto next = [&](std::uint32_t N) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % N;
    };
    QStringList masks, names;
    QByteArray lines;
    for (int i = 0; i < 3000; ++i) {
        QString mask, name;
        for (std::uint32_t k = 0, n = 1 + next(6); k < n; ++k)
            mask += QString::fromUtf8(maskParts[next(std::size(maskParts))]);
        for (std::uint32_t k = 0, n = next(8); k < n; ++k)
            name += QString::fromUtf8(nameParts[next(std::size(nameParts))]);
        masks.append(mask);
        names.append(name);
        lines += mask.toUtf8() + '\t' + name.toUtf8() + '\n';
    }
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import sys, fnmatch\n"
                                 "for line in sys.stdin.read().split('\\n')[:-1]:\n"
                                 "    mask, name = line.split('\\t')\n"
                                 "    print(int(fnmatch.fnmatchcase(name.casefold(), mask.casefold())))\n")});
    ASSERT_TRUE(python.waitForStarted(30000)) << "python3 is needed for this test";
    python.write(lines);
    python.closeWriteChannel();
    ASSERT_TRUE(python.waitForFinished(60000));
    const QStringList theirs =
        QString::fromUtf8(python.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(theirs.size(), masks.size()) << python.readAllStandardError().toStdString();
    int differences = 0, matches = 0;
    for (qsizetype i = 0; i < masks.size() && differences < 10; ++i) {
        bool malformed = false;
        const bool ours = MatchesMask(names[i], masks[i], &malformed);
        ASSERT_FALSE(malformed) << masks[i].toStdString();
        matches += ours;
        if (ours != (theirs[i] == QLatin1String("1"))) {
            ++differences;
            ADD_FAILURE() << "mask " << masks[i].toStdString() << " name " << names[i].toStdString()
                          << ": ours " << ours << ", fnmatch " << theirs[i].toStdString();
        }
    }
    EXPECT_GT(matches, 100); // the sample is not all misses
}

} // namespace
