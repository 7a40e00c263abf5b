#include "ExtFileTools.h"

TWinCopyThread::TWinCopyThread(const QString& ASourceName, const QString& ADestName, TEncryption* AEncryption,
                               TCopyOptions AOptions, bool ASuspend, int ABufSize, Priority APriority)
    : TGZipThread(TNoStart{}, ASourceName, ADestName, AEncryption, ABufSize, APriority)
{
    SetOptions(AOptions);
    FCopyStorage = AOptions.Contains(coStorage);
    FCopyAltStreams = AOptions.Contains(coAltStreams);
    FCopyAttr = AOptions.Contains(coAttributes);
    FResetArchive = AOptions.Contains(coResetArchive);
    FCopyAcl = AOptions.Contains(coPermissions);
    FVerify = AOptions.Contains(coVerify);
    if (!ASuspend) Start();
}

TWinCopyThread::TWinCopyThread(const TFileData& ASource, const QString& ADestName, TEncryption* AEncryption,
                               TCopyOptions AOptions, bool ASuspend, Priority APriority)
    : TGZipThread(TNoStart{}, ASource, ADestName, AEncryption, APriority)
{
    SetOptions(AOptions);
    if (!ASuspend) Start();
}

void TWinCopyThread::SetOptions(TCopyOptions AOptions)
{
    FCompress = AOptions.Contains(coCompress);
    FZipCompress = AOptions.Contains(coZipCompress);
    FOverwrite = AOptions.Contains(coOverwrite);
    FCopyTimeStamp = AOptions.Contains(coTimeStamp);
    FCopyCrTm = AOptions.Contains(coCreationTime);
    FCheckTime = AOptions.Contains(coCheckTime);
    SetNoWriteCache(AOptions.Contains(coNoCache));
    SetErrorType();
}

void TWinCopyThread::SetErrorType()
{
    FErrFlag = FZipCompress ? etZip : FCompress ? etGZip : FCrypting ? etEncrypt : etCopy;
}

void TWinCopyThread::Execute()
{
    if (FVerify) SetNoWriteCache(true);
    int result = 0;
    if (FShellCopy & scmCopy) {
        result = ShellCopyFile();
        if (result == 0 && FVerify) result = VerifyCopy();
    } else if (FZipCompress) {
        result = OpenStreams();
        if (result == 0) result = ZipCopy();
        if (result != 0)
            ReleaseStreams();
        else
            result = FinishCopy(false, FCopyAltStreams, FCopyAcl);
        if (result == 0 && FVerify) result = VerifyZip();
    } else if (FCompress) {
        result = GZipCopy();
        if (result == 0 && FVerify) result = VerifyGZip();
    } else if (FCrypting) {
        result = EncryptCopy();
        if (result == 0 && FVerify) result = VerifyEncrypted();
    } else {
        result = StreamCopy();
        if (result == 0 && FVerify) result = VerifyCopy();
    }
    FinishThread(result);
}
