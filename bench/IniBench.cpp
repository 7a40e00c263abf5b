// A large settings file (25 sections of 10,000 keys) written through TUnicodeIniFile to disk and
// read back key by key: each step alone and both together.
#include "base/IniFileUtils.h"

#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

constexpr int SectionCount = 25;
constexpr int KeyCount = 10000;

struct TNames
{
    QStringList Sections;
    QStringList Keys;
    QStringList Values;

    TNames()
    {
        for (int s = 0; s < SectionCount; ++s)
            Sections.append(QStringLiteral("Section%1").arg(s));
        for (int k = 0; k < KeyCount; ++k) {
            Keys.append(QStringLiteral("Key%1").arg(k));
            Values.append(QStringLiteral("Value of key %1").arg(k));
        }
    }
};

const TNames& Names()
{
    static const TNames names;
    return names;
}

void WriteFile(const QString& FileName)
{
    const TNames& n = Names();
    auto ini = TUnicodeIniFile::CreateForWrite(FileName, true);
    for (const QString& section : n.Sections)
        for (int k = 0; k < KeyCount; ++k)
            ini->WriteString(section, n.Keys[k], n.Values[k]);
    ini->UpdateFile();
}

qsizetype ReadFile(const QString& FileName)
{
    const TNames& n = Names();
    auto ini = TUnicodeIniFile::CreateForRead(FileName);
    qsizetype chars = 0;
    for (const QString& section : n.Sections)
        for (const QString& key : n.Keys)
            chars += ini->ReadString(section, key, QString()).size();
    return chars;
}

void Report(benchmark::State& State, const QString& FileName)
{
    State.counters["keys"] = SectionCount * KeyCount;
    State.counters["bytes"] = double(QFileInfo(FileName).size());
}

void BM_Write(benchmark::State& State)
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("settings.ini"));
    Names();
    for (auto _ : State)
        WriteFile(name);
    Report(State, name);
}

void BM_Read(benchmark::State& State)
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("settings.ini"));
    WriteFile(name);
    for (auto _ : State)
        benchmark::DoNotOptimize(ReadFile(name));
    if (ReadFile(name) != qsizetype(SectionCount) * Names().Values.join(QString()).size())
        State.SkipWithError("values read back differ");
    Report(State, name);
}

void BM_WriteAndRead(benchmark::State& State)
{
    QTemporaryDir dir;
    const QString name = dir.filePath(QStringLiteral("settings.ini"));
    Names();
    for (auto _ : State) {
        WriteFile(name);
        benchmark::DoNotOptimize(ReadFile(name));
    }
    Report(State, name);
}

} // namespace

BENCHMARK(BM_Write)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Read)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteAndRead)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
