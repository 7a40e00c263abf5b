// The directory watcher end to end: files made by another thread, their events delivered on the
// event loop's thread. A burst of 10,000 new files (in one folder, or in 100 new nested folders)
// from the first creation to the last delivered event; and the delay of a single change.
#include "sentry/DirectoryWatch.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <thread>

namespace {

constexpr int FileCount = 10000;

// Spins the event loop until Done holds or a minute has passed; false on the time-out.
template <typename F> bool Spin(F Done)
{
    QElapsedTimer t;
    t.start();
    while (!Done()) {
        if (t.hasExpired(60000)) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

void MakeFiles(const QString& Root, int Folders)
{
    const int perFolder = FileCount / Folders;
    for (int d = 0; d < Folders; ++d) {
        const QString folder =
            Folders == 1 ? Root : Root + QStringLiteral("/t%1/s%2").arg(d / 10).arg(d % 10);
        if (Folders > 1) QDir().mkpath(folder);
        for (int i = 0; i < perFolder; ++i) {
            QFile f(folder + QStringLiteral("/f%1.dat").arg(i));
            f.open(QIODevice::WriteOnly);
        }
    }
}

void BM_Burst(benchmark::State& State)
{
    const int folders = int(State.range(0));
    for (auto _ : State) {
        QTemporaryDir dir;
        TDirectoryWatch watch(1);
        int files = 0;
        bool overflow = false;
        watch.SetDirectory(dir.path());
        watch.SetOnNotify([&](TDirectoryWatch*, int, TWatchAction Action, const QString& Name) {
            if (Action == waAdded && Name.endsWith(QLatin1String(".dat"))) ++files;
        });
        watch.SetOnError([&](TDirectoryWatch*, int, const QString&) { overflow = true; });
        watch.Start();

        QElapsedTimer t;
        t.start();
        std::thread maker(MakeFiles, dir.path(), folders);
        const bool done = Spin([&] { return files >= FileCount || overflow; });
        const double seconds = double(t.nsecsElapsed()) / 1e9;
        maker.join();
        if (!done || overflow) {
            State.SkipWithError(overflow ? "overflow" : "events missing");
            break;
        }
        State.SetIterationTime(seconds);
    }
    State.counters["events/s"] =
        benchmark::Counter(double(FileCount) * State.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Burst)->Arg(1)->Arg(100)->ArgName("folders")->UseManualTime()->Unit(benchmark::kMillisecond);

// The same files made with nobody watching: what the burst costs without the watcher.
void BM_BurstUnwatched(benchmark::State& State)
{
    for (auto _ : State) {
        QTemporaryDir dir;
        QElapsedTimer t;
        t.start();
        MakeFiles(dir.path(), int(State.range(0)));
        State.SetIterationTime(double(t.nsecsElapsed()) / 1e9);
    }
}
BENCHMARK(BM_BurstUnwatched)
    ->Arg(1)
    ->Arg(100)
    ->ArgName("folders")
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_SingleChange(benchmark::State& State)
{
    QTemporaryDir dir;
    TDirectoryWatch watch(1);
    int seen = 0;
    watch.SetDirectory(dir.path());
    watch.SetOnNotify([&](TDirectoryWatch*, int, TWatchAction Action, const QString&) {
        if (Action == waModified) ++seen;
    });
    const QString name = dir.path() + QStringLiteral("/sub/one.txt");
    QDir().mkpath(dir.path() + QStringLiteral("/sub"));
    watch.Start();
    for (auto _ : State) {
        const int before = seen;
        QElapsedTimer t;
        t.start();
        {
            QFile f(name);
            f.open(QIODevice::WriteOnly);
            f.write("x");
        }
        if (!Spin([&] { return seen > before; })) {
            State.SkipWithError("no event");
            break;
        }
        State.SetIterationTime(double(t.nsecsElapsed()) / 1e9);
    }
}
BENCHMARK(BM_SingleChange)->UseManualTime()->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
