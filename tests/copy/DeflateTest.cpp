#include "copy/Deflate.h"

#include "ArchiveAssembly.h"
#include "fixtures/PeerTools.h"

#include "platform/SysErrors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

// The compressed bytes of Data, written through the deflater in blocks of BlockSize.
QByteArray Compress(const QByteArray& Data, TZCompressionLevel Level, qsizetype BlockSize)
{
    QByteArray out;
    TRawDeflater d(Level, [&](const char* P, qint64 N) {
        out.append(P, N);
        return 0;
    });
    for (qsizetype at = 0; at < Data.size(); at += BlockSize)
        EXPECT_EQ(d.Write(QByteArrayView(Data).sliced(at, qMin(BlockSize, Data.size() - at))), 0);
    EXPECT_EQ(d.Finish(), 0);
    return out;
}

// Inflates Compressed, read from its source in small pieces, into blocks of ReadSize.
qint64 Expand(const QByteArray& Compressed, qint64 Length, QByteArray& Out, qint64 ReadSize,
              bool* Damaged = nullptr)
{
    qsizetype at = 0;
    TRawInflater in(
        [&](char* P, qint64 N) {
            const qint64 n = std::min<qint64>({N, 7777, Compressed.size() - at});
            memcpy(P, Compressed.constData() + at, size_t(n));
            at += n;
            return n;
        },
        Length);
    QByteArray block(ReadSize, Qt::Uninitialized);
    for (;;) {
        const qint64 n = in.Read(block.data(), ReadSize);
        if (Damaged) *Damaged = in.Damaged();
        if (n <= 0) return n;
        Out.append(block.constData(), n);
    }
}

TEST(Deflate, RoundTripsAndPythonZlibAgrees)
{
    const QByteArray data = SampleData(1'000'000);
    for (TZCompressionLevel level : {zcNone, zcFastest, zcDefault, zcMax}) {
        const QByteArray packed = Compress(data, level, 65536);
        QByteArray unpacked;
        EXPECT_EQ(Expand(packed, packed.size(), unpacked, 100000), 0);
        EXPECT_TRUE(unpacked == data);
        // zlib's default level is what the archives of the suite hold.
        if (level == zcDefault) {
            EXPECT_TRUE(packed == RawDeflate(data, 6));
        }
    }
    const QByteArray packed = Compress(data, zcDefault, 4096);
    const TToolResult py = RunTool(
        QStringLiteral("/usr/bin/python3"),
        {QStringLiteral("-c"),
         QStringLiteral(
             "import sys,zlib\nsys.stdout.buffer.write(zlib.decompress(sys.stdin.buffer.read(), -15))")},
        packed);
    EXPECT_TRUE(py.Out == data) << py.Text().toStdString();

    // An empty source still gives a valid, empty stream.
    const QByteArray empty = Compress(QByteArray(), zcDefault, 1);
    EXPECT_EQ(empty.toHex().toStdString(), "0300");
    QByteArray out;
    EXPECT_EQ(Expand(empty, empty.size(), out, 10), 0);
    EXPECT_TRUE(out.isEmpty());
}

TEST(Deflate, InflaterReadsOnlyItsPartAndNoticesDamage)
{
    const QByteArray data = SampleData(300000);
    const QByteArray packed = RawDeflate(data);
    // Bytes after the compressed part (a trailer) are not read.
    QByteArray out;
    EXPECT_EQ(Expand(packed + "TRAILER!", packed.size(), out, 1 << 16), 0);
    EXPECT_TRUE(out == data);

    bool damaged = false;
    out.clear();
    EXPECT_EQ(Expand(packed, packed.size() - 10, out, 1 << 16, &damaged), -1); // cut short
    EXPECT_TRUE(damaged);
    QByteArray broken = packed;
    broken[10] = char(broken[10] ^ 0xFF);
    broken[11] = char(broken[11] ^ 0xFF);
    out.clear();
    damaged = false;
    const qint64 rc = Expand(broken, broken.size(), out, 1 << 16, &damaged);
    // A flipped bit either breaks the stream or changes the data: never the same bytes back.
    EXPECT_TRUE(rc == -1 ? damaged : out != data);

    // A failing source is no damage of the data.
    TRawInflater failing([](char*, qint64) { return qint64(-1); }, 100);
    char buffer[16];
    EXPECT_EQ(failing.Read(buffer, sizeof buffer), -1);
    EXPECT_FALSE(failing.Damaged());
}

TEST(Deflate, SinkErrorsStopTheDeflater)
{
    int calls = 0;
    TRawDeflater d(zcNone, [&](const char*, qint64) {
        ++calls;
        return Platform::ErrDiskFull;
    });
    EXPECT_EQ(d.Write(SampleData(1'000'000)), Platform::ErrDiskFull);
    EXPECT_EQ(d.Write("more"), Platform::ErrDiskFull);
    EXPECT_EQ(d.Finish(), Platform::ErrDiskFull);
    EXPECT_EQ(calls, 1);
}

} // namespace
