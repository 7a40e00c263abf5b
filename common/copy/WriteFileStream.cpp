#include "WriteFileStream.h"

#include "CopyErrors.h"

EWriteFileStreamError::EWriteFileStreamError(int ECode) : EInOutError(SysErrorText(ECode), ECode) {}

TWriteFileStream::TWriteFileStream(const QString& AFileName, bool Overwrite, std::uint32_t WriteMode,
                                   std::uint32_t)
{
    unsigned flags = 0;
    if (WriteMode & FILE_FLAG_WRITE_THROUGH) flags |= Platform::cfWriteThrough;
    if (WriteMode & FILE_FLAG_SEQUENTIAL_SCAN) flags |= Platform::cfSequential;
    const int err = Overwrite ? FFile.Create(AFileName, 0, flags) : FFile.CreateNew(AFileName, 0, flags);
    if (err) throw EWriteFileStreamError(err);
}

qint64 TWriteFileStream::Write(const void* Buffer, qint64 Count)
{
    qint64 done = 0;
    if (const int err = FFile.Write(Buffer, Count, done)) throw EWriteFileStreamError(err);
    return done;
}

bool TWriteFileStream::FileRead(void* Buffer, qint64 Count, qint64& NRead)
{
    return FFile.Read(Buffer, Count, NRead) == 0;
}
