// The text filter at work: a list of ten masks and a regular expression over a million file names, and the
// two hostile cases, a mask built to make a backtracking matcher explode and a regular expression that
// backtracks without end (stopped by the match limits).
#include "base/TextFilter.h"

#include <QStringList>
#include <benchmark/benchmark.h>

namespace {

// The same selection twice: ten masks, and one expression.
constexpr char16_t Masks[] =
    u"*.txt|*.doc|*.pdf|*.jpg|*.png|*.xls?|~*.tmp|report-0*-final.c|*.[ch]pp|img_????.raw";
constexpr char16_t Expression[] =
    u"\\.(txt|doc|pdf|jpg|png)$|\\.xls.$|^~.*\\.tmp$|^report-0.*-final\\.c$|\\.[ch]pp$|^img_....\\.raw$";

constexpr int NameCount = 1000000;

const QStringList& Names()
{
    static const QStringList names = [] {
        static const char* const exts[] = {"txt",  "doc", "pdf", "jpg",  "tmp", "TXT",
                                           "docx", "c",   "cpp", "xlsx", "raw", "png"};
        QStringList n;
        for (int i = 0; i < NameCount; ++i) {
            QString name = QStringLiteral("%1report-%2-final.%3")
                               .arg(i % 17 == 0 ? QStringLiteral("~") : QString())
                               .arg(i, 6, 10, QLatin1Char('0'))
                               .arg(QLatin1String(exts[i % 12]));
            n.append(name);
        }
        return n;
    }();
    return names;
}

int Count(const TTextFilter& Filter)
{
    int passed = 0;
    for (const QString& name : Names())
        passed += Filter.MatchesFilter(name);
    return passed;
}

void BM_MaskList(benchmark::State& State)
{
    TTextFilter f(true, true);
    f.SetMode(fmInclude);
    f.SetFilter(QStringView(Masks).toString());
    int passed = 0;
    for (auto _ : State)
        benchmark::DoNotOptimize(passed = Count(f));
    State.counters["passed"] = passed;
    State.SetItemsProcessed(State.iterations() * NameCount);
}

void BM_RegularExpression(benchmark::State& State)
{
    TTextFilter f(true, true);
    f.SetRegular(true);
    f.SetMode(fmInclude);
    f.SetFilter(QStringView(Expression).toString());
    int passed = 0;
    for (auto _ : State)
        benchmark::DoNotOptimize(passed = Count(f));
    State.counters["passed"] = passed;
    State.SetItemsProcessed(State.iterations() * NameCount);
}

void BM_HostileMask(benchmark::State& State)
{
    TTextFilter f(false, true);
    f.SetMode(fmInclude);
    f.SetFilter(QStringLiteral("*a").repeated(30) + QStringLiteral("*b"));
    const QString name(255, QLatin1Char('a')); // the longest file name
    for (auto _ : State)
        benchmark::DoNotOptimize(f.MatchesFilter(name));
}

void BM_RunawayExpression(benchmark::State& State)
{
    TTextFilter f(false, true);
    f.SetRegular(true);
    f.SetMode(fmInclude);
    f.SetFilter(QStringLiteral("(a+)+$"));
    const QString name = QString(254, QLatin1Char('a')) + QLatin1Char('!');
    for (auto _ : State)
        benchmark::DoNotOptimize(f.MatchesFilter(name));
}

} // namespace

BENCHMARK(BM_MaskList)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RegularExpression)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HostileMask)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RunawayExpression)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
