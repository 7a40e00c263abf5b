// The encrypted container on real files: its header, the stream inside it read by an independent
// implementation, the verification of every header form, and the failures with their step results.

#include "copy/AesContainer.h"
#include "copy/SysFileDevice.h"

#include "platform/SysErrors.h"

#include "ArchiveAssembly.h"
#include "fixtures/Faults.h"
#include "fixtures/PeerTools.h"
#include "fixtures/TestFiles.h"

#include <QRandomGenerator>
#include <QtEndian>
#include <gtest/gtest.h>

namespace {

const QByteArray Password = "Pässwort-1"_qba;
constexpr qint64 WriteTime = 1700000000;

QByteArray RandomBytes(qsizetype Size, quint32 Seed)
{
    QByteArray data(Size, '\0');
    QRandomGenerator gen(Seed);
    for (char& c : data)
        c = char(gen.generate() & 0xFF);
    return data;
}

struct TReport
{
    TFileAction Action;
    qint64 Count;
    bool SpeedLimit;
    bool operator==(const TReport&) const = default;
};

struct TContainerFixture
{
    TTestDir Dir;
    QList<TReport> Reports;
    TContainerIo Io;

    TContainerFixture()
    {
        Io.BufSize = 65536;
        Io.Report = [this](TFileAction Action, qint64 Count, bool SpeedLimit) {
            Reports.append({Action, Count, SpeedLimit});
        };
    }

    // Encrypts the file Source into Dest; the step result.
    int Write(TEncryption& Crypt, const QString& Source, const QString& Dest, qint64* SourceSize = nullptr)
    {
        TSysFileDevice in, out;
        EXPECT_EQ(in.OpenRead(Source), 0);
        EXPECT_EQ(out.Create(Dest, true), 0);
        qint64 total = 0;
        return WriteEncryptedContainer(Crypt, in, SourceSize ? *SourceSize : in.size(), out, WriteTime, 0x21,
                                       Io, total);
    }

    int Verify(TEncryption& Crypt, const QString& Dest)
    {
        TSysFileDevice in;
        EXPECT_EQ(in.OpenRead(Dest), 0);
        return VerifyEncryptedContainer(Crypt, in, in.size(), Io);
    }
};

TEST(AesContainer, WrittenContainerHoldsHeaderAndAStreamOthersDecrypt)
{
    for (int mode = 1; mode <= 3; ++mode) {
        SCOPED_TRACE(mode);
        TContainerFixture f;
        const QByteArray plain = RandomBytes(300001, quint32(mode));
        const QString src = f.Dir.Write(QStringLiteral("src.bin"), plain);
        const QString dst = f.Dir.Path(QStringLiteral("dst.xqe"));
        TEncryption crypt(Password, mode, 4096);
        ASSERT_EQ(f.Write(crypt, src, dst), 0);

        const QByteArray written = ReadAll(dst);
        ASSERT_EQ(written.size(), 10 + AesSaltLength(mode) + 2 + plain.size() + 10);
        EXPECT_EQ(written.left(3), "XQE"_qba);
        EXPECT_EQ(quint8(written[3]), 0x43 + 8 * mode);
        EXPECT_EQ(qFromLittleEndian<quint32>(written.constData() + 4), quint32(WriteTime));
        EXPECT_EQ(qFromLittleEndian<quint16>(written.constData() + 8), 0x21);

        const QString stream = f.Dir.Write(QStringLiteral("stream"), written.mid(10));
        const QString back = f.Dir.Path(QStringLiteral("back"));
        const TToolResult py =
            RunPython(ReferenceScript(), {QStringLiteral("decrypt"), QString::number(mode),
                                          f.Dir.Write(QStringLiteral("pw"), Password), stream, back});
        EXPECT_EQ(py.ExitCode, 0) << py.Err.toStdString();
        EXPECT_EQ(ReadAll(back), plain);

        TEncryption reader(Password, 0, 4096); // takes the key mode from the header
        EXPECT_EQ(f.Verify(reader, dst), 0);
        EXPECT_EQ(reader.KeyMode(), mode);

        const QList<TReport> expected = {{acEncrypt, -300001, false},       {acEncrypt, 65536, true},
                                         {acEncrypt, 131072, true},         {acEncrypt, 196608, true},
                                         {acEncrypt, 262144, true},         {acEncrypt, 300001, true},
                                         {acVerify, -written.size(), false}};
        EXPECT_TRUE(f.Reports == expected);
    }
}

// The long header, the short one (bit 0 clear, with or without a key mode) and a bare stream.
TEST(AesContainer, VerificationReadsEveryHeaderForm)
{
    TContainerFixture f;
    const QString src = f.Dir.Write(QStringLiteral("src.bin"), RandomBytes(5000, 1));
    TEncryption crypt(Password, 2, 4096);
    ASSERT_EQ(f.Write(crypt, src, f.Dir.Path(QStringLiteral("long"))), 0);
    const QByteArray stream = ReadAll(f.Dir.Path(QStringLiteral("long"))).mid(10);

    struct TForm
    {
        const char* Name;
        QByteArray Header;
        int ReaderMode; // the encryption object's own mode
        int Expected;
    };
    const TForm forms[] = {
        {"short, no key mode", "XQEB"_qba, 2, 0},
        {"short, no key mode, reader's mode wrong", "XQEB"_qba, 1, 268},
        {"short with key mode 2", "XQER"_qba, 1, 0},
        {"bare stream", {}, 2, 0},
        {"long header announcing another mode", "XQE\x4B\0\0\0\0\0\0"_qba, 2, 268},
    };
    for (const TForm& form : forms) {
        const QString file = f.Dir.Write(QStringLiteral("form"), form.Header + stream);
        TEncryption reader(Password, form.ReaderMode, 4096);
        EXPECT_EQ(f.Verify(reader, file), form.Expected) << form.Name;
    }
}

TEST(AesContainer, VerificationFailures)
{
    TContainerFixture f;
    const QString src = f.Dir.Write(QStringLiteral("src.bin"), RandomBytes(70000, 2));
    TEncryption crypt(Password, 3, 4096);
    const QString good = f.Dir.Path(QStringLiteral("good"));
    ASSERT_EQ(f.Write(crypt, src, good), 0);
    const QByteArray written = ReadAll(good);

    QByteArray flipped = written;
    flipped[40000] = char(flipped[40000] ^ 0x80);
    struct TCase
    {
        const char* Name;
        QByteArray Content;
        QByteArray Password;
        int Expected;
    };
    const TCase cases[] = {
        {"intact", written, Password, 0},
        {"wrong password", written, "Pässwort-2"_qba, 268},
        {"one data byte changed", flipped, Password, 268},
        {"truncated", written.left(written.size() - 1), Password, 268},
        {"header only", written.left(10), Password, 268},
        {"three bytes", "XQE"_qba, Password, 4},
        {"empty", {}, Password, 4},
        {"long header cut short", written.left(7), Password, 4},
    };
    for (const TCase& c : cases) {
        TEncryption reader(c.Password, 3, 4096);
        EXPECT_EQ(f.Verify(reader, f.Dir.Write(QStringLiteral("check"), c.Content)), c.Expected) << c.Name;
    }

    int asked = 0;
    f.Io.UserBreak = [&] { return ++asked == 2; };
    EXPECT_EQ(f.Verify(crypt, good), 128);
}

TEST(AesContainer, WriteFailuresGiveTheirStepResults)
{
    TContainerFixture f;
    const QByteArray plain = RandomBytes(200000, 3);
    const QString src = f.Dir.Write(QStringLiteral("in/src.bin"), plain);
    const QString out = f.Dir.Path(QStringLiteral("out"));
    ASSERT_EQ(Platform::ForceDirectories(out), 0);
    const QString dst = out + QStringLiteral("/dst");
    TEncryption crypt(Password, 1, 4096);

    {
        TDiskFull full(out, 100000);
        Platform::TScopedFaultInjector hook(full);
        EXPECT_EQ(f.Write(crypt, src, dst), 263);
        EXPECT_EQ(f.Io.SysErrorMsg, Platform::SysErrorMessage(Platform::ErrDiskFull));
    }
    {
        TDiskFull full(out, 0);
        Platform::TScopedFaultInjector hook(full);
        EXPECT_EQ(f.Write(crypt, src, dst), 261); // the container header itself
    }
    {
        TRefuse refuse(Platform::TFileOp::Read, QStringLiteral("src.bin"), EIO);
        Platform::TScopedFaultInjector hook(refuse);
        f.Io.SysErrorMsg.clear();
        EXPECT_EQ(f.Write(crypt, src, dst), 260);
        EXPECT_EQ(f.Io.SysErrorMsg, Platform::SysErrorMessage(EIO));
    }
    qint64 claimed = plain.size() + 1; // the source shrank since its size was taken
    EXPECT_EQ(f.Write(crypt, src, dst, &claimed), 260);

    int asked = 0;
    f.Io.UserBreak = [&] { return ++asked == 2; };
    EXPECT_EQ(f.Write(crypt, src, dst), 128);
    EXPECT_EQ(ReadAll(dst).size(), 10 + 10 + 2 * 65536); // no authentication code after a break
}

} // namespace
