// The compressed and encrypted copies: a gzip file, a one-file zip archive or the encrypted
// container, each with the verification that reads it back.

#include "ExtFileTools.h"

#include "Deflate.h"

#include "AesContainer.h"
#include "AesLib.h"
#include "DeviceIo.h"
#include "GZipFormat.h"
#include "SysFileDevice.h"
#include "ZipFormat.h"

#include "platform/SysErrors.h"

#include <QBuffer>
#include <QScopeGuard>
#include <QTemporaryFile>
#include <QtEndian>

#include <zlib.h>

using namespace Platform;

// The destination stream of a copy as a device for the encryption; counts what it wrote and keeps
// the system error code of a failed write, so a full disk stays a full disk.
class TDestDevice : public QIODevice
{
public:
    explicit TDestDevice(TWriteFileStream& File) : FFile(File)
    {
        open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }
    ~TDestDevice() override { close(); }

    bool isSequential() const override { return true; }
    int SysError() const { return FCode; }
    qint64 Written() const { return FWritten; }
    // 0, or the system error code of the failed write.
    int WriteAll(const char* Data, qint64 Count) { return write(Data, Count) == Count ? 0 : FCode; }
    int WriteAll(const QByteArray& Data) { return WriteAll(Data.constData(), Data.size()); }
    // Moves the stream to Position, which counts as written up to there.
    int SeekTo(qint64 Position)
    {
        if (const int e = FFile.Seek(Position)) return Failed(e, SysErrorMessage(e));
        FWritten = Position;
        return 0;
    }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* Data, qint64 Count) override
    {
        qint64 done = 0;
        try {
            // A short write is followed by one more, which raises the reason.
            while (done < Count) {
                const qint64 n = FFile.Write(Data + done, Count - done);
                if (n <= 0) return Failed(ErrDiskFull, SysErrorMessage(ErrDiskFull));
                done += n;
                FWritten += n;
            }
        } catch (const EWriteFileStreamError& e) {
            return Failed(e.FCode() ? e.FCode() : ErrInvalidHandle, e.Message());
        }
        return done;
    }

private:
    int Failed(int Code, const QString& Text)
    {
        FCode = Code;
        setErrorString(Text);
        return -1;
    }

    TWriteFileStream& FFile;
    int FCode = 0;
    qint64 FWritten = 0;
};

namespace {

// Up to this source size the deflated data waits in memory for its encryption, beyond in a file.
constexpr qint64 MemoryTempLimit = 52428800;
// The longest gzip header read for a verification (the name is a file name).
constexpr qint64 GZipMaxHeader = 256 * 1024;

// The first bytes of a written file, at most Max, for its header; false (with the device's text
// in Error) when they cannot be read.
bool ReadHead(TSysFileDevice& File, qint64 Max, QByteArray& Head, QString& Error)
{
    Head.resize(qMin(File.size(), Max));
    if (ReadFull(File, Head.data(), Head.size()) == Head.size()) return true;
    Error = File.errorString();
    return false;
}

// The source of a copy as a device, for the encrypted container.
class TSourceDevice : public QIODevice
{
public:
    using TReader = std::function<int(char* Data, qint64 Count, qint64& Done)>;
    explicit TSourceDevice(TReader Reader) : FReader(std::move(Reader))
    {
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    ~TSourceDevice() override { close(); }
    bool isSequential() const override { return true; }
    int SysError() const { return FCode; }

protected:
    qint64 readData(char* Data, qint64 Count) override
    {
        qint64 done = 0;
        if (const int e = FReader(Data, Count, done)) {
            FCode = e;
            setErrorString(SysErrorMessage(e));
            return -1;
        }
        return done;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    TReader FReader;
    int FCode = 0;
};

int WriteResult(int SysError)
{
    return SysError == ErrDiskFull ? ceDiskFull : ceWrite;
}

} // namespace

TGZipThread::TGZipThread(const QString& ASourceName, const QString& ADestName, TEncryption* AEncryption,
                         bool ASuspend, int ABufSize, Priority APriority)
    : TGZipThread(TNoStart{}, ASourceName, ADestName, AEncryption, ABufSize, APriority)
{
    if (!ASuspend) Start();
}

TGZipThread::TGZipThread(const TFileData& ASource, const QString& ADestName, TEncryption* AEncryption,
                         bool ASuspend, Priority APriority)
    : TGZipThread(TNoStart{}, ASource, ADestName, AEncryption, APriority)
{
    if (!ASuspend) Start();
}

TGZipThread::TGZipThread(TNoStart, const QString& ASourceName, const QString& ADestName,
                         TEncryption* AEncryption, int ABufSize, Priority APriority)
    : TCopyThread(TNoStart{}, ASourceName, ADestName, ABufSize, APriority)
{
    FName = SourceName.mid(SourceName.lastIndexOf(QLatin1Char('/')) + 1);
    FCompress = true;
    FCrypting = AEncryption;
    FErrFlag = etGZip;
}

TGZipThread::TGZipThread(TNoStart, const TFileData& ASource, const QString& ADestName,
                         TEncryption* AEncryption, Priority APriority)
    : TCopyThread(TNoStart{}, ASource, ADestName, APriority)
{
    FName = ASource.FileName.isEmpty() ? SourceName.mid(SourceName.lastIndexOf(QLatin1Char('/')) + 1)
                                       : ASource.FileName;
    FCompress = true;
    FCrypting = AEncryption;
    FErrFlag = etGZip;
}

void TGZipThread::Execute()
{
    FinishThread(GZipCopy());
}

int TGZipThread::Deflate(const TByteSink& Sink, bool ASpeedLimit, qint64& Written)
{
    Written = 0;
    int result = 0;
    {
        TRawDeflater z(FCompLevel, [&](const char* Data, qint64 Count) {
            const int e = Sink(Data, Count);
            if (e == 0) Written += Count;
            return e;
        });
        qint64 left = static_cast<qint64>(SrcSize);
        while (left > 0 && result == 0) {
            WaitUnpaused();
            qint64 got = 0;
            if ((result = ReadBlock(qMin<qint64>(FBufSize, left), got))) break;
            UTotal += got;
            left -= got;
            DoProgress(acCompress, ASpeedLimit, UTotal);
            FCrc = UpdateCrc(FCrc, FBuffer.get(), got);
            if (const int e = z.Write(QByteArrayView(FBuffer.get(), got))) result = WriteResult(e);
            if (result == 0 && UserBreak()) result = ceUserBreak;
        }
        if (result == 0)
            if (const int e = z.Finish()) result = WriteResult(e);
    }
    if (result == 0 && SrcSize > 0 && Written == 0) result = ceDiskFull;
    if (result == 0 && UTotal != static_cast<qint64>(SrcSize)) {
        RecordSysError(ErrHandleEof);
        result = ceRead;
    }
    return result;
}

int TGZipThread::DeflateAndEncrypt(TDestDevice& Dest)
{
    // The encrypted layout needs the whole deflated data first. A file of our own, with a unique
    // name, removed whatever happens.
    std::unique_ptr<QIODevice> temp;
    if (static_cast<qint64>(SrcSize) <= MemoryTempLimit) {
        auto buffer = std::make_unique<QBuffer>();
        buffer->open(QIODevice::ReadWrite);
        temp = std::move(buffer);
    } else {
        auto file = std::make_unique<QTemporaryFile>(fTmpDir + QStringLiteral("encrypt-XXXXXX.tmp"));
        if (!file->open()) {
            FSysErrMsg = file->errorString();
            return ceCreateDest;
        }
        temp = std::move(file);
    }
    DoProgress(acCompress, false, -static_cast<qint64>(SrcSize));
    qint64 written = 0;
    int result = Deflate(
        [&](const char* Data, qint64 Count) {
            if (temp->write(Data, Count) == Count) return 0;
            FSysErrMsg = temp->errorString();
            return ErrDiskFull; // the temporary folder is full (or failing): no space to go on
        },
        false, written);
    if (result != 0) return result;
    DoProgress(acEncrypt, false, -temp->size());
    temp->seek(0);
    switch (FCrypting->EncryptStreamEx(*temp, Dest, true, [this] { return UserBreak(); })) {
    case orOk:
        return 0;
    case orUserBreak:
        return ceUserBreak;
    case orError:
        break;
    }
    FSysErrMsg = Dest.SysError() ? Dest.errorString() : temp->errorString();
    return Dest.SysError() == ErrDiskFull ? ceDiskFull : ceEncrypt;
}

int TGZipThread::GZipCopy()
{
    int result = OpenStreams();
    if (result == 0) result = WriteGZip();
    if (result != 0) {
        ReleaseStreams();
        return result;
    }
    return FinishCopy(FCopyStorage, FCopyAltStreams, FCopyAcl);
}

int TGZipThread::WriteGZip()
{
    TDestDevice dest(*sDest);
    const QByteArray header =
        GZipHeader(FName, FCrypting ? FCrypting->KeyMode() : 0, SourceFileData.TimeStamps.LastWriteTime);
    if (const int e = dest.WriteAll(header)) {
        FSysErrMsg = dest.errorString();
        return WriteResult(e);
    }
    const qint64 start = dest.Written();
    FCrc = 0;
    UTotal = 0;
    int result = 0;
    if (!FCrypting) {
        DoProgress(acCompress, false, -static_cast<qint64>(SrcSize));
        qint64 written = 0;
        result = Deflate(
            [&](const char* Data, qint64 Count) {
                const int e = dest.WriteAll(Data, Count);
                if (e) FSysErrMsg = dest.errorString();
                return e;
            },
            true, written);
    } else {
        result = DeflateAndEncrypt(dest);
    }
    if (result != 0) return result;
    CTotal = dest.Written() - start;
    const qint64 end = dest.Written();
    int e = dest.WriteAll(GZipTrailer(FCrypting ? 0 : FCrc, UTotal));
    if (e == 0) e = dest.SeekTo(GZipSizesOffset);
    if (e == 0) e = dest.WriteAll(GZipSizes(CTotal, UTotal));
    if (e == 0) e = dest.SeekTo(end + GZipTrailerSize);
    if (e != 0) {
        FSysErrMsg = dest.errorString();
        return WriteResult(e);
    }
    return 0;
}

int TGZipThread::InflateCheck(TSysFileDevice& File, qint64 CompressedLength)
{
    TRawInflater z([&File](char* Data, qint64 Count) { return File.read(Data, Count); }, CompressedLength);
    for (;;) {
        WaitUnpaused();
        const qint64 n = z.Read(FBuffer.get(), FBufSize);
        if (n < 0) {
            if (File.SysError()) RecordSysError(File.SysError());
            return ceVerify;
        }
        if (n == 0) return 0;
        FCrc = UpdateCrc(FCrc, FBuffer.get(), n);
        UTotal += n;
        DoProgress(acUnCompress, true, UTotal);
        if (UserBreak()) return ceUserBreak;
    }
}

int TGZipThread::VerifyGZip()
{
    TSysFileDevice file;
    if (const int r = OpenForVerify([&] { return file.OpenRead(DestNameXL); })) return r;
    const qint64 fileSize = file.size();
    QByteArray head;
    if (!ReadHead(file, GZipMaxHeader, head, FSysErrMsg)) return ceHeaderUnreadable;
    TGZipInfo info;
    switch (ParseGZipHeader(head, fileSize, info)) {
    case TGZipParse::Ok:
        break;
    case TGZipParse::BadMagic:
        return ceBadHeader;
    case TGZipParse::Unreadable:
        return ceHeaderUnreadable;
    }
    const std::uint32_t sourceCrc = FCrc;
    const qint64 sourceSize = UTotal;
    // The copy's figures (the ratio, Crc) stay those of the source.
    const auto restore = qScopeGuard([&] {
        FCrc = sourceCrc;
        UTotal = sourceSize;
    });
    FCrc = 0;
    UTotal = 0;
    const qint64 dataLength = fileSize - GZipTrailerSize - info.DataOffset;
    if (dataLength < 0) return ceHeaderUnreadable;
    if (info.KeyMode != 0) {
        // The trailer of encrypted data holds no CRC; the authentication code stands for it.
        DoProgress(acVerify, false, -info.StoredSize);
        if (!FCrypting || !file.seek(info.DataOffset)) return ceVerify;
        FCrypting->SetKeyMode(info.KeyMode);
        switch (FCrypting->DecryptStreamEx(file, nullptr, info.StoredSize, true,
                                           [this] { return UserBreak(); })) {
        case orOk:
            return 0;
        case orUserBreak:
            return ceUserBreak;
        case orError:
            break;
        }
        return ceVerify;
    }
    char trailer[GZipTrailerSize];
    if (!file.seek(fileSize - GZipTrailerSize) ||
        ReadFull(file, trailer, GZipTrailerSize) != GZipTrailerSize) {
        FSysErrMsg = file.errorString();
        return ceHeaderUnreadable;
    }
    const quint32 storedCrc = qFromLittleEndian<quint32>(trailer);
    const quint32 storedSize = qFromLittleEndian<quint32>(trailer + 4);
    DoProgress(acVerify, false, -(info.HasSizes ? info.UncompressedSize : qint64(storedSize)));
    if (!file.seek(info.DataOffset)) return ceVerify;
    if (const int r = InflateCheck(file, dataLength)) return r;
    // The data must match its own trailer and size field, and the source it was made from.
    if (FCrc != storedCrc || quint32(UTotal) != storedSize ||
        (info.HasSizes && UTotal != info.UncompressedSize))
        return ceVerify;
    if (FHaveSourceCrc && (FCrc != sourceCrc || UTotal != sourceSize)) return ceVerify;
    return 0;
}

int TGZipThread::ZipCopy()
{
    TDestDevice dest(*sDest);
    TZipEntry entry;
    entry.Name = SourceName.mid(SourceName.lastIndexOf(QLatin1Char('/')) + 1);
    entry.DosTime = ZipDosTime(SourceFileData.TimeStamps.LastWriteTime);
    entry.Attributes = static_cast<quint16>(SourceFileData.FileAttr & 0xFFFF);
    entry.SourceSize = static_cast<qint64>(SrcSize);
    entry.KeyMode = FCrypting ? FCrypting->KeyMode() : 0;
    entry.Deflated = SrcSize > 0 && (FCrypting || FCompress);
    const QByteArray local = ZipLocalHeader(entry);
    if (dest.WriteAll(local)) {
        FSysErrMsg = dest.errorString();
        return ceZipWrite;
    }
    FCrc = 0;
    UTotal = 0;
    int result = 0;
    if (entry.Encrypted() && entry.Deflated) {
        result = DeflateAndEncrypt(dest);
        CTotal = dest.Written() - local.size();
    } else if (entry.Encrypted()) {
        // Only an empty source is stored encrypted.
        UTotal = static_cast<qint64>(SrcSize);
        DoProgress(acEncrypt, false, -UTotal);
        QBuffer empty;
        empty.open(QIODevice::ReadOnly);
        switch (FCrypting->EncryptStreamEx(empty, dest, true, [this] { return UserBreak(); })) {
        case orOk:
            break;
        case orUserBreak:
            result = ceUserBreak;
            break;
        case orError:
            FSysErrMsg = dest.errorString();
            result = dest.SysError() == ErrDiskFull ? ceDiskFull : ceEncrypt;
            break;
        }
        CTotal = dest.Written() - local.size();
    } else if (entry.Deflated) {
        DoProgress(acCompress, false, -entry.SourceSize);
        qint64 written = 0;
        result = Deflate(
            [&](const char* Data, qint64 Count) {
                const int e = dest.WriteAll(Data, Count);
                if (e) FSysErrMsg = dest.errorString();
                return e;
            },
            true, written);
        CTotal = written;
    } else {
        // The header needs the CRC-32: the blocks go through the buffer.
        DoProgress(acCopy, false, -entry.SourceSize);
        FNeedCrc = true;
        result = BlockCopy(true, true, entry.SourceSize);
        FNeedCrc = false;
        if (result == 0 && UTotal != entry.SourceSize) {
            RecordSysError(ErrHandleEof);
            result = ceRead;
        }
    }
    if (result != 0) return result;
    entry.Crc = FCrc;
    entry.StoredSize = CTotal;
    entry.UncompressedSize = UTotal;
    const qint64 directory = local.size() + CTotal;
    const QByteArray central = ZipCentralHeader(entry);
    int e = dest.SeekTo(0);
    if (e == 0) e = dest.WriteAll(ZipLocalHeader(entry));
    if (e == 0) e = dest.SeekTo(directory);
    if (e == 0) e = dest.WriteAll(central);
    if (e == 0) e = dest.WriteAll(ZipEndRecords(directory, central.size()));
    if (e != 0) {
        FSysErrMsg = dest.errorString();
        return ceZipWrite;
    }
    return 0;
}

int TGZipThread::VerifyZip()
{
    TSysFileDevice file;
    if (const int r = OpenForVerify([&] { return file.OpenRead(DestNameXL); })) return r;
    const qint64 fileSize = file.size();
    QByteArray head;
    if (!ReadHead(file, ZipMaxLocalHeader, head, FSysErrMsg)) return ceBadHeader;
    TZipLocalInfo info;
    if (ParseZipLocalHeader(head, info) != TZipParse::Ok) return ceBadHeader;
    const std::uint32_t sourceCrc = FCrc;
    const qint64 sourceSize = UTotal;
    // The copy's figures (the ratio, Crc) stay those of the source.
    const auto restore = qScopeGuard([&] {
        FCrc = sourceCrc;
        UTotal = sourceSize;
    });
    FCrc = 0;
    UTotal = 0;
    if (info.StoredSize < 0 || info.DataOffset + info.StoredSize > fileSize) return ceVerify;
    if (!file.seek(info.DataOffset)) return ceVerify;
    if (info.Method == ZipMethodAes || info.KeyStrength != 0) {
        DoProgress(acVerify, false, -info.StoredSize);
        if (!FCrypting || info.KeyStrength < 1 || info.KeyStrength > 3) return ceVerify;
        FCrypting->SetKeyMode(info.KeyStrength);
        switch (FCrypting->DecryptStreamEx(file, nullptr, info.StoredSize, true,
                                           [this] { return UserBreak(); })) {
        case orOk:
            return 0;
        case orUserBreak:
            return ceUserBreak;
        case orError:
            break;
        }
        return ceVerify;
    }
    DoProgress(acVerify, false, -info.UncompressedSize);
    if (info.Method == ZipMethodDeflated) {
        if (const int r = InflateCheck(file, info.StoredSize)) return r;
    } else {
        qint64 left = info.StoredSize;
        while (left > 0) {
            WaitUnpaused();
            const qint64 n = ReadFull(file, FBuffer.get(), qMin<qint64>(FBufSize, left));
            if (n <= 0) {
                if (file.SysError()) RecordSysError(file.SysError());
                return ceVerify;
            }
            FCrc = UpdateCrc(FCrc, FBuffer.get(), n);
            UTotal += n;
            left -= n;
            DoProgress(acVerify, true, UTotal);
            if (UserBreak()) return ceUserBreak;
        }
    }
    if (FCrc != info.Crc || UTotal != info.UncompressedSize) return ceVerify;
    if (FHaveSourceCrc && (FCrc != sourceCrc || UTotal != sourceSize)) return ceVerify;
    return 0;
}

int TGZipThread::EncryptCopy()
{
    int result = OpenStreams();
    if (result != 0) {
        ReleaseStreams();
        return result;
    }
    TDestDevice dest(*sDest);
    TSourceDevice source([this](char* Data, qint64 Count, qint64& Done) {
        return FIStreamSource ? iSource->Read(Data, Count, Done) : sSource->Read(Data, Count, Done);
    });
    TContainerIo io;
    io.Report = [this](TFileAction Action, qint64 Count, bool SpeedLimit) {
        DoProgress(Action, SpeedLimit, Count);
    };
    io.UserBreak = [this] { return UserBreak(); };
    io.Gate = &FEvent;
    io.BufSize = FBufSize;
    std::int64_t seconds = 0, nanoseconds = 0;
    FileTimeToUnix(SourceFileData.TimeStamps.LastWriteTime, seconds, nanoseconds);
    UTotal = 0;
    result = WriteEncryptedContainer(*FCrypting, source, static_cast<qint64>(SrcSize), dest, seconds,
                                     SourceFileData.FileAttr, io, UTotal);
    CTotal = dest.Written();
    FSysErrMsg = io.SysErrorMsg;
    if (dest.SysError() == ErrDiskFull && (result == ceEncrypt || result == ceWrite)) result = ceDiskFull;
    if (result == ceRead && source.SysError() == 0 && FSysErrMsg.isEmpty()) RecordSysError(ErrHandleEof);
    if (result != 0) {
        ReleaseStreams();
        return result;
    }
    return FinishCopy(FCopyStorage, FCopyAltStreams, FCopyAcl);
}

int TGZipThread::VerifyEncrypted()
{
    TSysFileDevice file;
    if (const int r = OpenForVerify([&] { return file.OpenRead(DestNameXL); })) return r;
    if (!FCrypting) return ceVerify;
    TContainerIo io;
    io.Report = [this](TFileAction Action, qint64 Count, bool SpeedLimit) {
        DoProgress(Action, SpeedLimit, Count);
    };
    io.UserBreak = [this] { return UserBreak(); };
    io.Gate = &FEvent;
    io.BufSize = FBufSize;
    const int result = VerifyEncryptedContainer(*FCrypting, file, UTotal, io);
    if (result == ceHeaderUnreadable) FSysErrMsg = io.SysErrorMsg;
    return result;
}

TVerifyThread::TVerifyThread(const QString& AFileName, TVerifyFormat AFormat, const QString& ASourceName,
                             TEncryption* AEncryption, bool ASuspend)
    : TGZipThread(TNoStart{}, ASourceName.isEmpty() ? AFileName : ASourceName, AFileName, AEncryption, 0,
                  InheritPriority),
      FFormat(AFormat), FWithSource(!ASourceName.isEmpty())
{
    FCompress = false;
    FErrFlag = AFormat == TVerifyFormat::vfZip    ? etZip
               : AFormat == TVerifyFormat::vfGZip ? etGZip
                                                  : etEncrypt;
    if (!ASuspend) Start();
}

void TVerifyThread::Execute()
{
    int result = 0;
    FHaveSourceCrc = FWithSource;
    if (FWithSource) {
        // The source's CRC-32 and size, read the way a copy reads them.
        try {
            sSource = std::make_unique<TExtFileStream>(SourceNameXL, fmOpenRead | fmShareDenyNone);
        } catch (const Exception& e) {
            FSysErrMsg = e.Message();
            result = ceOpenSource;
        }
        if (result == 0) {
            SrcSize = static_cast<std::uint64_t>(qMax<qint64>(sSource->Size(), 0));
            DoProgress(acPrepare, false, -static_cast<qint64>(SrcSize));
            result = BlockCopy(false, false, static_cast<qint64>(SrcSize));
        }
        sSource.reset();
    }
    if (result == 0) {
        switch (FFormat) {
        case TVerifyFormat::vfGZip:
            result = VerifyGZip();
            break;
        case TVerifyFormat::vfZip:
            result = VerifyZip();
            break;
        case TVerifyFormat::vfEncrypted:
            result = VerifyEncrypted();
            break;
        }
    }
    FinishThread(result);
}
