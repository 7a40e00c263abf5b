// What the copy threads write, read by the tools of other people: gzip, pigz, unzip, zipinfo,
// 7-Zip, bsdtar and Python. Every check compares the bytes they extract with the source.

#include "copy/AesLib.h"
#include "copy/ExtFileTools.h"
#include "copy/GZipFormat.h"
#include "copy/ZipFormat.h"

#include "fixtures/PeerTools.h"
#include "fixtures/TestFiles.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QRandomGenerator>
#include <gtest/gtest.h>

namespace {

const QByteArray Password = "Pässwort-1";

QByteArray Sample(qsizetype Size)
{
    QByteArray data;
    data.reserve(Size);
    QRandomGenerator gen(7);
    while (data.size() < Size)
        data += QByteArray::number(gen.bounded(100000)) + (gen.bounded(9) == 0 ? '\n' : ' ');
    data.truncate(Size);
    return data;
}

QByteArray Noise(qsizetype Size)
{
    QByteArray data(Size, Qt::Uninitialized);
    QRandomGenerator gen(11);
    for (qsizetype i = 0; i < Size; ++i)
        data[i] = static_cast<char>(gen.generate() & 0xFF);
    return data;
}

// Copies Source to Dest with a copy thread, checked by its own verification.
void Copy(const QString& Source, const QString& Dest, TCopyOptions Options, TEncryption* Crypt = nullptr)
{
    Options += coVerify;
    TWinCopyThread t(Source, Dest, Crypt, Options, false, 1 << 16);
    QDeadlineTimer deadline(300000);
    while (!t.Done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_TRUE(t.Done());
    ASSERT_EQ(t.ErrorCode(), 0) << CopyErrorText(t.ErrorCode(), Dest, t.SysErrorMsg()).toStdString();
}

// A tool's exit code 0 and an output without 7-Zip's warnings.
void ExpectClean(const TToolResult& R, const char* What)
{
    EXPECT_EQ(R.ExitCode, 0) << What << ": " << R.Text().toStdString();
    EXPECT_FALSE(R.Text().contains(QStringLiteral("WARNING")) ||
                 R.Text().contains(QStringLiteral("Headers Error")))
        << What << ": " << R.Text().toStdString();
}

void ExpectOutput(const TToolResult& R, const QByteArray& Data, const char* What)
{
    EXPECT_EQ(R.ExitCode, 0) << What << ": " << R.Err.toStdString();
    EXPECT_TRUE(R.Out == Data) << What << ": " << R.Out.size() << " bytes instead of " << Data.size();
}

struct TSource
{
    const char* Name;
    QByteArray Data;
};

QList<TSource> Sources()
{
    return {{"empty.txt", {}},
            {"one.txt", "x"},
            {"nineteen bytes.txt", Sample(19)},
            {"café Ω.txt", Sample(300000)},
            {"noise.bin", Noise(100000)}};
}

TEST(Interop, GZipFilesPassGzipPigzSevenZipAndPython)
{
    TTestDir dir;
    for (const TSource& s : Sources()) {
        SCOPED_TRACE(s.Name);
        const QString src = dir.Write(QString::fromUtf8(s.Name), s.Data);
        const QString gz = dir.Path(QStringLiteral("out.gz"));
        QFile::remove(gz);
        Copy(src, gz, {coCompress});
        ExpectClean(RunTool(QStringLiteral("gzip"), {QStringLiteral("-t"), gz}), "gzip -t");
        ExpectOutput(RunTool(QStringLiteral("gzip"), {QStringLiteral("-dc"), gz}), s.Data, "gzip -dc");
        ExpectClean(RunTool(QStringLiteral("pigz"), {QStringLiteral("-t"), gz}), "pigz -t");
        ExpectClean(RunTool(QStringLiteral("7zz"), {QStringLiteral("t"), gz}), "7zz t");
        ExpectOutput(RunTool(QStringLiteral("7zz"), {QStringLiteral("x"), QStringLiteral("-so"), gz}), s.Data,
                     "7zz x");
        // Python reads the name we stored, in the code page or UTF-8 the system byte names.
        ExpectOutput(RunPython(QStringLiteral("import gzip,sys\n"
                                              "sys.stdout.buffer.write(gzip.open(sys.argv[1]).read())"),
                               {gz}),
                     s.Data, "python gzip");
    }
}

TEST(Interop, ZipFilesStoredAndDeflatedPassUnzipSevenZipBsdtarAndPython)
{
    TTestDir dir;
    const QString check = QStringLiteral("import sys,zipfile\n"
                                         "z = zipfile.ZipFile(sys.argv[1])\n"
                                         "assert z.testzip() is None\n"
                                         "assert z.namelist() == [sys.argv[2]], z.namelist()\n"
                                         "sys.stdout.buffer.write(z.read(sys.argv[2]))");
    for (const TSource& s : Sources()) {
        for (const bool deflate : {false, true}) {
            SCOPED_TRACE(QStringLiteral("%1 %2").arg(QString::fromUtf8(s.Name)).arg(deflate).toStdString());
            const QString src = dir.Write(QString::fromUtf8(s.Name), s.Data);
            const QString zip = dir.Path(QStringLiteral("out.zip"));
            QFile::remove(zip);
            TCopyOptions options{coZipCompress};
            if (deflate) options += coCompress;
            Copy(src, zip, options);
            ExpectClean(RunTool(QStringLiteral("unzip"), {QStringLiteral("-t"), zip}), "unzip -t");
            ExpectOutput(RunTool(QStringLiteral("unzip"), {QStringLiteral("-p"), zip}), s.Data, "unzip -p");
            ExpectClean(RunTool(QStringLiteral("zipinfo"), {QStringLiteral("-v"), zip}), "zipinfo -v");
            ExpectClean(RunTool(QStringLiteral("7zz"), {QStringLiteral("t"), zip}), "7zz t");
            ExpectOutput(RunTool(QStringLiteral("bsdtar"), {QStringLiteral("-xOf"), zip}), s.Data, "bsdtar");
            ExpectOutput(RunPython(check, {zip, QString::fromUtf8(s.Name)}), s.Data, "python zipfile");
        }
    }
}

TEST(Interop, AesZipsOfEveryKeyModeDecryptWithSevenZipAndBsdtar)
{
    TTestDir dir;
    const QString pw = QString::fromUtf8(Password);
    for (const int mode : {1, 2, 3}) {
        TEncryption crypt(Password, mode, 1 << 16);
        for (const TSource& s : Sources()) {
            SCOPED_TRACE(
                QStringLiteral("AES mode %1, %2").arg(mode).arg(QString::fromUtf8(s.Name)).toStdString());
            const QString src = dir.Write(QString::fromUtf8(s.Name), s.Data);
            const QString zip = dir.Path(QStringLiteral("aes.zip"));
            QFile::remove(zip);
            Copy(src, zip, {coZipCompress}, &crypt);
            ExpectClean(RunTool(QStringLiteral("7zz"), {QStringLiteral("t"), QStringLiteral("-p") + pw, zip}),
                        "7zz t");
            ExpectOutput(RunTool(QStringLiteral("7zz"), {QStringLiteral("x"), QStringLiteral("-so"),
                                                         QStringLiteral("-p") + pw, zip}),
                         s.Data, "7zz x");
            ExpectOutput(RunTool(QStringLiteral("bsdtar"),
                                 {QStringLiteral("--passphrase"), pw, QStringLiteral("-xOf"), zip}),
                         s.Data, "bsdtar");
            if (!s.Data.isEmpty()) {
                const TToolResult wrong =
                    RunTool(QStringLiteral("7zz"), {QStringLiteral("t"), QStringLiteral("-pWRONG"), zip});
                EXPECT_NE(wrong.ExitCode, 0);
                EXPECT_TRUE(wrong.Text().contains(QStringLiteral("Wrong password")))
                    << wrong.Text().toStdString();
            }
        }
    }
}

// The AES stream inside an encrypted gzip file and inside the container, decrypted by the
// independent implementation; gzip readers refuse the encrypted gzip file (its flag is reserved).
TEST(Interop, EncryptedGZipAndContainerPayloadsDecryptIndependently)
{
    TTestDir dir;
    const QString reference =
        qEnvironmentVariable("OV_SOURCE_DIR") + QStringLiteral("/tests/copy/wzaes_reference.py");
    const QString pwFile = dir.Write(QStringLiteral("pw"), Password);
    const QByteArray data = Sample(200000);
    const QString src = dir.Write(QStringLiteral("src.txt"), data);
    for (const int mode : {1, 3}) {
        SCOPED_TRACE(mode);
        TEncryption crypt(Password, mode, 1 << 16);
        const QString gz = dir.Path(QStringLiteral("enc%1.gz").arg(mode));
        Copy(src, gz, {coCompress}, &crypt);
        EXPECT_EQ(RunTool(QStringLiteral("gzip"), {QStringLiteral("-t"), gz}).ExitCode, 1);
        const QByteArray file = ReadAll(gz);
        TGZipInfo info;
        ASSERT_EQ(ParseGZipHeader(file, file.size(), info), TGZipParse::Ok);
        const QString stream =
            dir.Write(QStringLiteral("stream"), file.mid(info.DataOffset, info.StoredSize));
        const QString deflated = dir.Path(QStringLiteral("deflated%1").arg(mode));
        const TToolResult dec = RunPython(
            reference, {QStringLiteral("decrypt"), QString::number(mode), pwFile, stream, deflated});
        ASSERT_EQ(dec.ExitCode, 0) << dec.Text().toStdString();
        ExpectOutput(
            RunPython(QStringLiteral(
                          "import sys,zlib\n"
                          "sys.stdout.buffer.write(zlib.decompress(open(sys.argv[1],'rb').read(), -15))"),
                      {deflated}),
            data, "raw inflate");

        const QString container = dir.Path(QStringLiteral("c%1.xqe").arg(mode));
        Copy(src, container, {}, &crypt);
        const QString plain = dir.Path(QStringLiteral("plain%1").arg(mode));
        const QString body = dir.Write(QStringLiteral("body"), ReadAll(container).mid(10));
        const TToolResult r =
            RunPython(reference, {QStringLiteral("decrypt"), QString::number(mode), pwFile, body, plain});
        ASSERT_EQ(r.ExitCode, 0) << r.Text().toStdString();
        EXPECT_TRUE(ReadAll(plain) == data);
    }
}

// A source just above the Zip64 threshold (sparse, so it costs no disk): Zip64 sizes in both
// headers, read back by 7-Zip without a warning; unzip reads the same headers in the interop notes
// and would add half a minute.
TEST(Interop, Zip64EntryOfASourceAboveTheThreshold)
{
    TTestDir dir;
    const qint64 size = Zip64Threshold + 1;
    const QString src = dir.Path(QStringLiteral("sparse.bin"));
    {
        QFile f(src);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(size));
        ASSERT_TRUE(f.seek(size - 5));
        f.write("tail!");
    }
    const QString zip = dir.Path(QStringLiteral("big.zip"));
    Copy(src, zip, {coZipCompress, coCompress});
    const QByteArray head = ReadAll(zip).left(200);
    TZipLocalInfo info;
    ASSERT_EQ(ParseZipLocalHeader(head, info), TZipParse::Ok);
    EXPECT_EQ(info.UncompressedSize, size);
    EXPECT_EQ(quint8(head[4]), 45);
    ExpectClean(RunTool(QStringLiteral("7zz"), {QStringLiteral("t"), zip}), "7zz t");
    const TToolResult listed =
        RunTool(QStringLiteral("7zz"), {QStringLiteral("l"), QStringLiteral("-slt"), zip});
    EXPECT_TRUE(listed.Text().contains(QStringLiteral("Size = %1").arg(size))) << listed.Text().toStdString();
    // The bytes themselves, compared with the source.
    const TToolResult cmp = RunTool(QStringLiteral("sh"),
                                    {QStringLiteral("-c"), QStringLiteral("7zz x -so \"$1\" | cmp - \"$2\""),
                                     QStringLiteral("sh"), zip, src});
    EXPECT_EQ(cmp.ExitCode, 0) << cmp.Text().toStdString();
}

} // namespace
