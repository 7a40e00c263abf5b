// The gzip, zip and encrypted copies of the copy threads: the files they write read back with the
// format parsers and zlib, their verifications, the encryption's gate and reports, and the faults.

#include "ArchiveAssembly.h"

#include "copy/AesContainer.h"
#include "copy/AesLib.h"
#include "copy/ExtFileTools.h"
#include "copy/GZipFormat.h"
#include "copy/ZipFormat.h"

#include "fixtures/Faults.h"
#include "fixtures/TestFiles.h"

#include "platform/FileSystem.h"
#include "platform/SysErrors.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QThread>
#include <QtEndian>
#include <gtest/gtest.h>

using namespace Platform;

namespace {

constexpr int Block = 4096;
const QByteArray Password = "Pässwort-1";

void WaitDone(const TCopyThread& T)
{
    QDeadlineTimer deadline(120000);
    while (!T.Done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_TRUE(T.Done()) << "the thread did not finish";
}

QByteArray Noise(qsizetype Size)
{
    QByteArray data(Size, Qt::Uninitialized);
    QRandomGenerator gen(42);
    for (qsizetype i = 0; i < Size; ++i)
        data[i] = static_cast<char>(gen.generate() & 0xFF);
    return data;
}

struct TReport
{
    TFileAction Action;
    qint64 Count;
    bool OnMainThread;
};

struct TRecorder
{
    QList<TReport> Reports;
    std::function<void(const TReport&)> Hook;
    TFileProgressEvent Handler()
    {
        return [this](TFileAction a, qint64 c, bool) {
            Reports.append({a, c, QThread::currentThread() == QCoreApplication::instance()->thread()});
            if (Hook) Hook(Reports.last());
        };
    }
};

QByteArray Inflate(const QByteArray& Raw)
{
    QBuffer in;
    in.setData(Raw);
    in.open(QIODevice::ReadOnly);
    TRawInflater z([&](char* d, qint64 n) { return in.read(d, n); }, Raw.size());
    QByteArray out;
    char buf[8192];
    qint64 n = 0;
    while ((n = z.Read(buf, sizeof buf)) > 0)
        out.append(buf, n);
    EXPECT_EQ(n, 0) << "damaged deflate data";
    return out;
}

// The plain bytes of an encrypted stream, with an encryption object of our own.
QByteArray Decrypt(const QByteArray& Stream, int KeyMode, const QByteArray& Pwd = Password)
{
    TEncryption e(Pwd, KeyMode, 4096);
    QBuffer in, out;
    in.setData(Stream);
    in.open(QIODevice::ReadOnly);
    out.open(QIODevice::WriteOnly);
    EXPECT_EQ(e.DecryptStreamEx(in, &out, Stream.size(), false), orOk);
    return out.data();
}

int Code(const TCopyThread& T)
{
    return T.ErrorCode();
}

std::string Text(const TCopyThread& T)
{
    return CopyErrorText(T.ErrorCode(), QString(), T.SysErrorMsg()).toStdString();
}

TEST(ArchiveThread, GZipFilesHoldNameSizesCrcAndDeflatedDataAndVerify)
{
    TTestDir dir;
    for (const qint64 size : {qint64(0), qint64(1), qint64(3 * Block + 7), qint64(40 * Block)}) {
        SCOPED_TRACE(size);
        const QByteArray data = SampleData(size);
        const QString src = dir.Write(QStringLiteral("in/Ωmega %1.txt").arg(size), data);
        const QString dst = dir.Path(QStringLiteral("out%1.gz").arg(size));
        TRecorder rec;
        TWinCopyThread t(src, dst, nullptr, {coCompress, coVerify, coTimeStamp}, true, Block);
        t.SetOnProgress(rec.Handler());
        t.Start();
        WaitDone(t);
        ASSERT_EQ(Code(t), 0) << Text(t);
        const QByteArray file = ReadAll(dst);
        TGZipInfo info;
        ASSERT_EQ(ParseGZipHeader(file, file.size(), info), TGZipParse::Ok);
        EXPECT_EQ(info.Name, QStringLiteral("Ωmega %1.txt").arg(size));
        EXPECT_EQ(quint8(file[9]), 11); // UTF-8 name
        EXPECT_TRUE(info.HasSizes);
        EXPECT_EQ(info.KeyMode, 0);
        EXPECT_EQ(info.UncompressedSize, size);
        EXPECT_EQ(info.StoredSize, file.size() - info.DataOffset - 8);
        EXPECT_EQ(Inflate(file.mid(info.DataOffset, info.StoredSize)), data);
        EXPECT_EQ(qFromLittleEndian<quint32>(file.constData() + file.size() - 8), Crc32(data));
        EXPECT_EQ(qFromLittleEndian<quint32>(file.constData() + file.size() - 4), quint32(size));
        EXPECT_EQ(t.Crc(), Crc32(data));
        if (size > 0) {
            EXPECT_EQ(t.Ratio(), qRound(1000.0 * info.StoredSize / size));
        }
        // The gzip header carries the source's time; the file itself gets it too.
        Platform::TFileTimestamps s, d;
        ASSERT_EQ(GetFileTimes(src, s), 0);
        ASSERT_EQ(GetFileTimes(dst, d), 0);
        std::int64_t secs = 0, ns = 0;
        FileTimeToUnix(s.LastWriteTime, secs, ns);
        EXPECT_EQ(qFromLittleEndian<quint32>(file.constData() + 4), quint32(secs));
        EXPECT_EQ(d.LastWriteTime, s.LastWriteTime);
        ASSERT_GE(rec.Reports.size(), 2);
        EXPECT_EQ(rec.Reports.first().Action, acCompress);
        EXPECT_EQ(rec.Reports.first().Count, -size);
        EXPECT_TRUE(std::any_of(rec.Reports.cbegin(), rec.Reports.cend(),
                                [](const TReport& r) { return r.Action == acVerify && r.Count <= 0; }));
    }
}

TEST(ArchiveThread, ZipEntriesAreStoredOrDeflatedWithPatchedHeadersAndVerify)
{
    TTestDir dir;
    struct TCase
    {
        qint64 Size;
        bool Deflate;
        quint16 Method;
    };
    for (const TCase& c :
         {TCase{0, true, ZipMethodStored}, TCase{0, false, ZipMethodStored},
          TCase{5 * Block + 3, false, ZipMethodStored}, TCase{5 * Block + 3, true, ZipMethodDeflated}}) {
        SCOPED_TRACE(c.Size * 10 + c.Deflate);
        const QByteArray data = SampleData(c.Size);
        const QString src = dir.Write(QStringLiteral("in/café.txt"), data);
        const QString dst = dir.Path(QStringLiteral("out%1%2.zip").arg(c.Size).arg(c.Deflate));
        TCopyOptions options{coZipCompress, coVerify};
        if (c.Deflate) options += coCompress;
        TWinCopyThread t(src, dst, nullptr, options, false, Block);
        WaitDone(t);
        ASSERT_EQ(Code(t), 0) << Text(t);
        EXPECT_EQ(t.ErrorType(), etZip);
        const QByteArray file = ReadAll(dst);
        TZipLocalInfo info;
        ASSERT_EQ(ParseZipLocalHeader(file, info), TZipParse::Ok);
        EXPECT_EQ(info.Name, QStringLiteral("café.txt"));
        EXPECT_EQ(info.Method, c.Method);
        EXPECT_EQ(info.Crc, Crc32(data));
        EXPECT_EQ(info.UncompressedSize, c.Size);
        const QByteArray stored = file.mid(info.DataOffset, info.StoredSize);
        EXPECT_EQ(c.Method == ZipMethodDeflated ? Inflate(stored) : stored, data);
        // Nothing but the central directory and the end record follows the data.
        TZipEntry e;
        e.Name = info.Name;
        e.SourceSize = c.Size;
        e.Deflated = c.Method == ZipMethodDeflated;
        e.Crc = info.Crc;
        e.StoredSize = info.StoredSize;
        e.UncompressedSize = c.Size;
        e.Attributes = quint16(quint8(file[info.DataOffset + info.StoredSize + 38])) |
                       quint16(quint8(file[info.DataOffset + info.StoredSize + 39]) << 8);
        e.DosTime = qFromLittleEndian<quint32>(file.constData() + 10);
        const QByteArray central = ZipCentralHeader(e);
        EXPECT_EQ(file.mid(info.DataOffset + info.StoredSize).toHex().toStdString(),
                  (central + ZipEndRecords(info.DataOffset + info.StoredSize, central.size()))
                      .toHex()
                      .toStdString());
    }
}

TEST(ArchiveThread, EncryptedGZipAndZipDecryptToTheSourceAndVerifyWithThePassword)
{
    TTestDir dir;
    for (const int mode : {1, 2, 3}) {
        SCOPED_TRACE(mode);
        const QByteArray data = SampleData(7 * Block + 1);
        const QString src = dir.Write(QStringLiteral("src.bin"), data);
        TEncryption crypt(Password, mode, 4096);
        {
            const QString dst = dir.Path(QStringLiteral("g%1.gz").arg(mode));
            TWinCopyThread t(src, dst, &crypt, {coCompress, coVerify}, false, Block);
            WaitDone(t);
            ASSERT_EQ(Code(t), 0) << Text(t);
            const QByteArray file = ReadAll(dst);
            TGZipInfo info;
            ASSERT_EQ(ParseGZipHeader(file, file.size(), info), TGZipParse::Ok);
            EXPECT_EQ(info.KeyMode, mode);
            EXPECT_EQ(qFromLittleEndian<quint32>(file.constData() + file.size() - 8), 0u);
            EXPECT_EQ(Inflate(Decrypt(file.mid(info.DataOffset, info.StoredSize), mode)), data);
        }
        {
            const QString dst = dir.Path(QStringLiteral("z%1.zip").arg(mode));
            TWinCopyThread t(src, dst, &crypt, {coZipCompress, coVerify}, false, Block);
            WaitDone(t);
            ASSERT_EQ(Code(t), 0) << Text(t);
            const QByteArray file = ReadAll(dst);
            TZipLocalInfo info;
            ASSERT_EQ(ParseZipLocalHeader(file, info), TZipParse::Ok);
            EXPECT_EQ(info.Method, ZipMethodAes);
            EXPECT_EQ(info.KeyStrength, mode);
            EXPECT_EQ(info.Crc, Crc32(data)); // AE-1
            EXPECT_EQ(Inflate(Decrypt(file.mid(info.DataOffset, info.StoredSize), mode)), data);
        }
    }
    // Below 20 bytes the entry is AE-2 and its CRC stays 0, in both headers; an empty one is stored.
    TEncryption crypt(Password, 3, 4096);
    for (const qint64 size : {qint64(0), qint64(19), qint64(20)}) {
        SCOPED_TRACE(size);
        const QByteArray data = SampleData(size);
        const QString src = dir.Write(QStringLiteral("small.bin"), data);
        const QString dst = dir.Path(QStringLiteral("small%1.zip").arg(size));
        TWinCopyThread t(src, dst, &crypt, {coZipCompress, coVerify}, false, Block);
        WaitDone(t);
        ASSERT_EQ(Code(t), 0) << Text(t);
        const QByteArray file = ReadAll(dst);
        TZipLocalInfo info;
        ASSERT_EQ(ParseZipLocalHeader(file, info), TZipParse::Ok);
        const quint32 crc = size < 20 ? 0 : Crc32(data);
        EXPECT_EQ(info.Crc, crc);
        EXPECT_EQ(qFromLittleEndian<quint32>(file.constData() + info.DataOffset + info.StoredSize + 16), crc);
        const QByteArray plain = Decrypt(file.mid(info.DataOffset, info.StoredSize), 3);
        EXPECT_EQ(size == 0 ? plain : Inflate(plain), data);
    }
}

TEST(ArchiveThread, StreamSourcesGoIntoGZipZipAndContainerToo)
{
    TTestDir dir;
    const QByteArray data = SampleData(9 * Block + 11);
    const QString src = dir.Write(QStringLiteral("src.txt"), data);
    TEncryption crypt(Password, 1, Block);
    struct TCase
    {
        TCopyOptions Options;
        TEncryption* Crypt;
    };
    for (const TCase& c : {TCase{{coCompress, coVerify}, nullptr}, TCase{{coZipCompress, coVerify}, nullptr},
                           TCase{{coZipCompress, coVerify}, &crypt}, TCase{{coVerify}, &crypt}}) {
        SCOPED_TRACE(c.Options.Mask() * 2 + (c.Crypt != nullptr));
        int err = 0;
        TFileData source;
        source.FileName = QStringLiteral("device name.txt");
        source.FullPath = QStringLiteral("/device/object/device name.txt");
        source.FileSize = data.size();
        source.StreamData.FileStream = OpenFileInputStream(src, err);
        source.StreamData.BufferSize = 1000; // short blocks, as a device hands them over
        ASSERT_EQ(err, 0);
        const QString dst = dir.Path(QStringLiteral("out%1%2").arg(c.Options.Mask()).arg(c.Crypt != nullptr));
        TWinCopyThread t(source, dst, c.Crypt, c.Options, false);
        WaitDone(t);
        ASSERT_EQ(Code(t), 0) << Text(t);
        const QByteArray file = ReadAll(dst);
        if (c.Options.Contains(coCompress)) {
            TGZipInfo info;
            ASSERT_EQ(ParseGZipHeader(file, file.size(), info), TGZipParse::Ok);
            EXPECT_EQ(info.Name, source.FileName);
            EXPECT_EQ(Inflate(file.mid(info.DataOffset, info.StoredSize)), data);
        } else if (c.Options.Contains(coZipCompress)) {
            TZipLocalInfo info;
            ASSERT_EQ(ParseZipLocalHeader(file, info), TZipParse::Ok);
            EXPECT_EQ(info.Name, source.FileName);
            EXPECT_EQ(info.Crc, Crc32(data));
        } else {
            EXPECT_EQ(Decrypt(file.mid(ContainerHeaderSize), 1), data);
        }
    }
}

TEST(ArchiveThread, EncryptionWaitsAtTheThreadsGateReportsThroughItAndIsHandedBackAtTheEnd)
{
    TTestDir dir;
    const QByteArray data = SampleData(8 * Block);
    const QString src = dir.Write(QStringLiteral("src.bin"), data);
    const QString dst = dir.Path(QStringLiteral("dst.xqe"));
    TEncryption crypt(Password, 2, Block);
    TRecorder rec;
    TWinCopyThread t(src, dst, &crypt, {coVerify}, true, Block);
    bool gateLent = false;
    rec.Hook = [&](const TReport& r) {
        if (r.Action == acEncrypt && r.Count == Block) {
            gateLent = crypt.Event() != nullptr;
            t.SetPaused(true);
        }
    };
    t.SetOnProgress(rec.Handler());
    t.Start();
    QDeadlineTimer reached(60000);
    while (!t.Paused() && !reached.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_TRUE(t.Paused());
    // The source changes behind the first block while the encryption stands at the gate.
    QByteArray changed = data;
    for (qsizetype i = Block; i < changed.size(); ++i)
        changed[i] = static_cast<char>(~changed[i]);
    QFile f(src);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite) && f.seek(Block));
    ASSERT_EQ(f.write(changed.mid(Block)), changed.size() - Block);
    f.close();
    const qsizetype before = rec.Reports.size();
    QCoreApplication::processEvents();
    EXPECT_EQ(rec.Reports.size(), before);
    t.SetPaused(false);
    WaitDone(t);
    ASSERT_EQ(Code(t), 0) << Text(t);
    EXPECT_TRUE(gateLent);
    EXPECT_EQ(crypt.Event(), nullptr);
    EXPECT_FALSE(crypt.OnProgress());
    for (const TReport& r : rec.Reports)
        EXPECT_TRUE(r.OnMainThread);
    // The encryption's own reports (the decryption of the check) come through the thread.
    EXPECT_TRUE(std::any_of(rec.Reports.cbegin(), rec.Reports.cend(),
                            [](const TReport& r) { return r.Action == acDecrypt && r.Count > 0; }));

    const QByteArray file = ReadAll(dst);
    ASSERT_GT(file.size(), ContainerHeaderSize);
    int headerSize = 0;
    EXPECT_EQ(ContainerKeyMode(file, headerSize), 2);
    EXPECT_EQ(headerSize, ContainerHeaderSize);
    EXPECT_EQ(Decrypt(file.mid(ContainerHeaderSize), 2), changed);
}

// The files this process holds open below Folder (also those without a name in it any more).
QStringList OpenFilesBelow(const QString& Folder)
{
    QStringList files;
    for (const QFileInfo& fd :
         QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::System | QDir::Files))
        if (fd.symLinkTarget().startsWith(Folder + QLatin1Char('/'))) files.append(fd.symLinkTarget());
    return files;
}

TEST(ArchiveThread, LargeEncryptedDataWaitsInAUniqueTemporaryFileThatIsRemoved)
{
    TTestDir dir;
    const qint64 size = 52428800 + 1;
    const QString src = dir.Write(QStringLiteral("big.bin"), SampleData(size));
    const QString temp = dir.Path(QStringLiteral("temp"));
    ASSERT_EQ(ForceDirectories(temp), 0);
    TEncryption crypt(Password, 1, 1 << 20);
    for (const bool cancel : {false, true}) {
        SCOPED_TRACE(cancel);
        QStringList during;
        TRecorder rec;
        TWinCopyThread t(src, dir.Path(QStringLiteral("big%1.zip").arg(cancel)), &crypt,
                         {coZipCompress, coVerify}, true, 1 << 20);
        t.SetTempDir(temp);
        rec.Hook = [&](const TReport& r) {
            if (r.Action == acCompress && r.Count >= 4 << 20 && during.isEmpty()) {
                during = OpenFilesBelow(temp);
                if (cancel) t.CancelThread();
            }
        };
        t.SetOnProgress(rec.Handler());
        t.Start();
        WaitDone(t);
        EXPECT_EQ(Code(t), cancel ? etZip | ceUserBreak : 0) << Text(t);
        EXPECT_EQ(during.size(), 1);
        EXPECT_TRUE(OpenFilesBelow(temp).isEmpty());
        EXPECT_TRUE(QDir(temp).entryList(QDir::Files | QDir::Hidden | QDir::System).isEmpty());
    }
}

TEST(ArchiveThread, FaultsEndEachFormatWithTheirCodeInItsContext)
{
    TTestDir dir;
    const QByteArray data = Noise(10 * Block);
    const QString src = dir.Write(QStringLiteral("in/src.bin"), data);
    ASSERT_EQ(ForceDirectories(dir.Path(QStringLiteral("out"))), 0);
    TEncryption crypt(Password, 3, Block);
    struct TFormat
    {
        const char* Name;
        TCopyOptions Options;
        bool Encrypted;
        int Context;
    };
    const TFormat formats[] = {
        {"gzip", {coCompress}, false, etGZip},        {"gzip-aes", {coCompress}, true, etGZip},
        {"zip-store", {coZipCompress}, false, etZip}, {"zip", {coZipCompress, coCompress}, false, etZip},
        {"zip-aes", {coZipCompress}, true, etZip},    {"container", {}, true, etEncrypt},
    };
    for (const TFormat& f : formats) {
        SCOPED_TRACE(f.Name);
        TEncryption* e = f.Encrypted ? &crypt : nullptr;
        const QString out = dir.Path(QStringLiteral("out/%1").arg(QLatin1String(f.Name)));
        {
            TDiskFull full(dir.Path(QStringLiteral("out")), 3 * Block);
            TScopedFaultInjector hook(full);
            TWinCopyThread t(src, out + QStringLiteral(".full"), e, f.Options, false, Block);
            WaitDone(t);
            EXPECT_EQ(Code(t), f.Context | ceDiskFull) << Text(t);
            EXPECT_EQ(t.SysErrorMsg(), SysErrorText(ErrDiskFull));
        }
        {
            TRefuse refuse(TFileOp::Read, QStringLiteral("in/src.bin"), EIO);
            TScopedFaultInjector hook(refuse);
            TWinCopyThread t(src, out + QStringLiteral(".unreadable"), e, f.Options, false, Block);
            WaitDone(t);
            EXPECT_EQ(Code(t), f.Context | ceRead) << Text(t);
        }
        {
            TRecorder rec;
            TWinCopyThread t(src, out + QStringLiteral(".cancel"), e, f.Options, true, Block);
            rec.Hook = [&](const TReport& r) {
                if (r.Count == 2 * Block) t.CancelThread();
            };
            t.SetOnProgress(rec.Handler());
            t.Start();
            WaitDone(t);
            EXPECT_EQ(Code(t), f.Context | ceUserBreak) << Text(t);
        }
        {
            // An existing destination stays as it was.
            const QString existing =
                dir.Write(QStringLiteral("out/%1.exists").arg(QLatin1String(f.Name)), "old");
            TWinCopyThread t(src, existing, e, f.Options, false, Block);
            WaitDone(t);
            EXPECT_EQ(Code(t), f.Context | ceCreateDest);
            EXPECT_EQ(ReadAll(existing), "old");
        }
        {
            // The destination changes between the copy and its check.
            TRecorder rec;
            const QString dst = out + QStringLiteral(".changed");
            rec.Hook = [&](const TReport& r) {
                if (r.Action != acVerify || r.Count >= 0) return;
                QFile file(dst);
                ASSERT_TRUE(file.open(QIODevice::ReadWrite));
                const qint64 at = file.size() / 2;
                file.seek(at);
                const char c = file.read(1)[0];
                file.seek(at);
                file.write(QByteArray(1, char(~c)));
            };
            TCopyOptions options = f.Options;
            options += coVerify;
            TWinCopyThread t(src, dst, e, options, true, Block);
            t.SetOnProgress(rec.Handler());
            t.Start();
            WaitDone(t);
            EXPECT_EQ(Code(t), f.Context | ceVerify) << Text(t);
        }
    }
}

TEST(ArchiveThread, VerifyingOnItsOwnCatchesDamagedHeadersWrongPasswordsAndAnotherSource)
{
    TTestDir dir;
    const QByteArray data = SampleData(6 * Block);
    const QString src = dir.Write(QStringLiteral("src.bin"), data);
    const QString other = dir.Write(QStringLiteral("other.bin"), SampleData(6 * Block - 1));
    TEncryption crypt(Password, 1, Block);
    struct TFormat
    {
        TVerifyFormat Format;
        TCopyOptions Options;
        bool Encrypted;
        int Context;
    };
    for (const TFormat& f : {TFormat{TVerifyFormat::vfGZip, {coCompress}, false, etGZip},
                             TFormat{TVerifyFormat::vfGZip, {coCompress}, true, etGZip},
                             TFormat{TVerifyFormat::vfZip, {coZipCompress, coCompress}, false, etZip},
                             TFormat{TVerifyFormat::vfZip, {coZipCompress}, true, etZip},
                             TFormat{TVerifyFormat::vfEncrypted, {}, true, etEncrypt}}) {
        SCOPED_TRACE(f.Context + f.Encrypted);
        const QString dst = dir.Path(QStringLiteral("out%1%2").arg(f.Context).arg(f.Encrypted));
        TEncryption* e = f.Encrypted ? &crypt : nullptr;
        {
            TWinCopyThread t(src, dst, e, f.Options, false, Block);
            WaitDone(t);
            ASSERT_EQ(Code(t), 0) << Text(t);
        }
        auto verify = [&](const QString& File, const QString& Source, TEncryption* With) {
            TVerifyThread v(File, f.Format, Source, With, false);
            WaitDone(v);
            return v.ErrorCode();
        };
        EXPECT_EQ(verify(dst, QString(), e), 0);
        EXPECT_EQ(verify(dst, src, e), 0);
        if (!f.Encrypted) {
            EXPECT_EQ(verify(dst, other, e), f.Context | ceVerify);
        }
        if (f.Encrypted) {
            TEncryption wrong("Passwort-2", 1, Block);
            EXPECT_EQ(verify(dst, QString(), &wrong), f.Context | ceVerify);
        }
        const QByteArray file = ReadAll(dst);
        if (f.Format != TVerifyFormat::vfEncrypted) {
            QByteArray damaged = file;
            damaged[0] = 'X';
            const QString bad = dir.Write(QStringLiteral("damaged"), damaged);
            EXPECT_EQ(verify(bad, QString(), e), f.Context | ceBadHeader);
        }
        // A file that ends inside its header.
        const QString cut =
            dir.Write(QStringLiteral("cut"), file.left(f.Format == TVerifyFormat::vfEncrypted ? 3 : 12));
        EXPECT_EQ(verify(cut, QString(), e),
                  f.Context | (f.Format == TVerifyFormat::vfZip ? ceBadHeader : ceHeaderUnreadable));
    }
    TVerifyThread v(dir.Path(QStringLiteral("missing.gz")), TVerifyFormat::vfGZip, QString(), nullptr, true);
    v.SetVerifyDelay(0);
    v.Start();
    WaitDone(v);
    EXPECT_EQ(v.ErrorCode(), etGZip | ceVerifyOpen);
}

} // namespace
