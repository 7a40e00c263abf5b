#include "FileUtils.h"

#include "Translate.h"

#include "platform/SysErrors.h"

#include <QFileInfo>
#include <QRandomGenerator>

#include <vector>

using namespace Platform;

EExtFileStreamError EExtFileStreamError::CreateResFmt(const char* ResString,
                                                      std::initializer_list<TFormatArg> Args, int Error)
{
    return EExtFileStreamError(SafeFormat(Tr(ResString), Args), Error);
}

TExtFileStream::TExtFileStream(const QString& AFileName, unsigned Mode, unsigned Rights)
{
    // The host has no sharing modes; only access and creation count.
    if ((Mode & fmCreate) == fmCreate) {
        if (const int err = FFile.Create(AFileName, Rights))
            throw EExtFileStreamError::CreateResFmt(
                N_("Cannot create file \"%s\". %s"),
                {QFileInfo(AFileName).absoluteFilePath(), SysErrorMessage(err)}, err);
    } else {
        const unsigned access = Mode & 0x3;
        const TOpenAccess a = access == fmOpenWrite       ? TOpenAccess::Write
                              : access == fmOpenReadWrite ? TOpenAccess::ReadWrite
                                                          : TOpenAccess::Read;
        if (const int err = FFile.Open(AFileName, a))
            throw EExtFileStreamError::CreateResFmt(
                N_("Cannot open file \"%s\". %s"),
                {QFileInfo(AFileName).absoluteFilePath(), SysErrorMessage(err)}, err);
    }
    FFileName = AFileName;
}

int TExtFileStream::Read(void* Buffer, qint64 Count, qint64& ReadCount)
{
    return FFile.Read(Buffer, Count, ReadCount);
}

int TExtFileStream::Write(const void* Buffer, qint64 Count, qint64& WriteCount)
{
    return FFile.Write(Buffer, Count, WriteCount);
}

qint64 TExtFileStream::Size() const
{
    qint64 size = 0;
    return FFile.Size(size) == 0 ? size : -1;
}

int CopyFileBlocks(const QString& SourceName, const QString& DestName, qint64 BlockSize)
{
    if (SameFile(SourceName, DestName)) return 0;
    std::unique_ptr<TExtFileStream> source, dest;
    try {
        source = std::make_unique<TExtFileStream>(SourceName, fmOpenRead | fmShareDenyNone);
        dest = std::make_unique<TExtFileStream>(DestName, fmCreate);
    } catch (const EExtFileStreamError& e) {
        return e.ErrorCode();
    }
    std::vector<char> buffer(static_cast<size_t>(BlockSize));
    int result = 0;
    for (;;) {
        qint64 read = 0, written = 0;
        if ((result = source->Read(buffer.data(), BlockSize, read))) break;
        if ((result = dest->Write(buffer.data(), read, written))) break;
        if (written < read) {
            result = ErrDiskFull;
            break;
        }
        if (read < BlockSize) break;
    }
    source->Close();
    const int closed = dest->Close();
    return result ? result : closed;
}

namespace {

[[noreturn]] void RaiseCopyError(const char* Message, const QString& FileName, int Error)
{
    throw ECopyError(SafeFormat(Tr(Message), {FileName}), Error);
}

// A new file beside Name that nobody else uses; the copy goes there first, so a failed copy
// never leaves a half-written destination.
QString CreateTempBeside(const QString& Name, TFile& File, int& Error)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString temp = Name + QStringLiteral(".%1.tmp").arg(QRandomGenerator::global()->generate(), 8,
                                                                  16, QLatin1Char('0'));
        Error = File.CreateNew(temp);
        if (Error != ErrFileExists) return temp;
    }
    return {};
}

} // namespace

void CopyFileWithAttributes(const QString& SourceName, const QString& DestName, std::int64_t Attributes,
                            qint64 BlockSize)
{
    if (SameFile(SourceName, DestName)) return;
    if (!FileExists(SourceName) || DestName.isEmpty())
        RaiseCopyError(N_("File not found: \"%s\""), SourceName, ErrFileNotFound);

    std::vector<char> buffer(static_cast<size_t>(BlockSize));
    TFileTimestamps times;
    if (GetFileTimes(SourceName, times) != 0) {
        TFindData entry;
        if (FindEntry(SourceName, entry) == 0) times = entry.Times;
    }
    std::uint32_t attr = 0;
    if (Attributes >= 0)
        attr = static_cast<std::uint32_t>(Attributes);
    else if (GetFileAttributes(SourceName, attr) != 0)
        attr = faArchive;

    TFile source;
    if (const int err = source.Open(SourceName, TOpenAccess::Read))
        RaiseCopyError(N_("Error opening \"%s\""), SourceName, err);
    if (FileExists(DestName))
        if (const int err = SetFileAttributes(DestName, faArchive))
            RaiseCopyError(N_("Error creating \"%s\""), DestName, err);

    TFile dest;
    int err = 0;
    const QString temp = CreateTempBeside(DestName, dest, err);
    if (err) RaiseCopyError(N_("Error creating \"%s\""), DestName, err);
    try {
        for (;;) {
            qint64 read = 0, written = 0;
            if ((err = source.Read(buffer.data(), BlockSize, read)))
                RaiseCopyError(N_("Error reading from \"%s\""), SourceName, err);
            if ((err = dest.Write(buffer.data(), read, written)))
                RaiseCopyError(N_("Error writing to \"%s\""), DestName, err);
            if (written < read) RaiseCopyError(N_("Error writing to \"%s\""), DestName, ErrDiskFull);
            if (read < BlockSize) break;
        }
        source.Close();
        // A write the system only does now must not be lost silently.
        if ((err = dest.Flush()) || (err = dest.Close()))
            RaiseCopyError(N_("Error writing to \"%s\""), DestName, err);

        // A time in the future (more than a day ahead) or none at all becomes the current time.
        const TFileTime now = CurrentFileTime();
        if (times.LastWriteTime <= 0 || times.LastWriteTime > now + 24LL * 3600 * FileTimeTicksPerSecond)
            times.LastWriteTime = now;
        if ((err = SetFileTimes(temp, {0, 0, times.LastWriteTime})))
            RaiseCopyError(N_("Error setting timestamps of \"%s\""), DestName, err);
        if ((err = SetFileAttributes(temp, attr)))
            RaiseCopyError(N_("Error setting attributes of \"%s\""), DestName, err);
        if ((err = RenameFile(temp, DestName))) RaiseCopyError(N_("Error creating \"%s\""), DestName, err);
    } catch (...) {
        dest.Close();
        DeleteFile(temp);
        throw;
    }
}
