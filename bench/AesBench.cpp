// The block operations of the encryption in memory (no file access): AES counter mode plus the
// HMAC-SHA1 over the encrypted data, per key mode.

#include "copy/AesLib.h"

#include <QBuffer>
#include <benchmark/benchmark.h>

namespace {

void BM_EncryptBlock(benchmark::State& State)
{
    const int mode = int(State.range(0));
    TEncryption crypt("benchmark password"_qba, mode, 262144);
    QBuffer header;
    header.open(QIODevice::WriteOnly);
    crypt.WriteHeader(header);
    QByteArray block(262144, 'x');
    for (auto _ : State) {
        crypt.EncryptBlock(block.data(), block.size());
        benchmark::DoNotOptimize(block.data());
    }
    State.SetBytesProcessed(State.iterations() * block.size());
}
BENCHMARK(BM_EncryptBlock)->Arg(1)->Arg(2)->Arg(3);

void BM_DecryptBlock(benchmark::State& State)
{
    TEncryption crypt("benchmark password"_qba, 3, 262144);
    QBuffer header;
    header.setData(QByteArray(18, '\0'));
    header.open(QIODevice::ReadOnly);
    crypt.ReadHeader(header); // the verifier does not matter here, only the started context
    QByteArray block(262144, 'x');
    for (auto _ : State) {
        crypt.DecryptBlock(block.data(), block.size());
        benchmark::DoNotOptimize(block.data());
    }
    State.SetBytesProcessed(State.iterations() * block.size());
}
BENCHMARK(BM_DecryptBlock);

} // namespace

BENCHMARK_MAIN();
