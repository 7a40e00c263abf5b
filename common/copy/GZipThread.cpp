// The compressed and encrypted copies. The formats themselves are not in this build yet: each
// method fails with "Unsupported file format" in its own context rather than write something else.

#include "ExtFileTools.h"

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

int TGZipThread::GZipCopy()
{
    return ceUnsupported;
}

int TGZipThread::VerifyGZip()
{
    return ceUnsupported;
}

int TGZipThread::ZipCopy()
{
    return ceUnsupported;
}

int TGZipThread::VerifyZip()
{
    return ceUnsupported;
}

int TGZipThread::EncryptCopy()
{
    return ceUnsupported;
}

int TGZipThread::VerifyEncrypted()
{
    return ceUnsupported;
}
