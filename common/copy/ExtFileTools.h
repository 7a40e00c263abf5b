#pragma once
// The copy threads: one worker thread copies one file, plainly or (TGZipThread) compressed or
// encrypted, verifies it, and carries its side streams, permissions, time stamps and attributes
// over. Callers create TWinCopyThread, poll Done, read ErrorCode, SysErrorMsg and Ratio, and free it.
//
// Progress reports are blocking calls into the thread that created the copy thread: that thread
// must keep processing events while the copy runs (it must not sit in wait()).

#include "CopyErrors.h"
#include "Deflate.h"
#include "FileData.h"
#include "FileProgress.h"
#include "ManualResetEvent.h"
#include "WriteFileStream.h"

#include "base/FileUtils.h"

#include <QThread>

#include <atomic>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

class TEncryption; // AES encryption; owned by the caller

enum TCopyOption : unsigned
{
    coCompress = 0,
    coZipCompress = 1,
    coVerify = 2,
    coOverwrite = 3,
    coStorage = 4,
    coAltStreams = 5,
    coPermissions = 6,
    coAttributes = 7,
    coTimeStamp = 8,
    coCreationTime = 9,
    coCheckTime = 10,
    coNoCache = 11,
    coResetArchive = 12,
};

// A set of TCopyOption, passed around as a 16-bit mask.
class TCopyOptions
{
public:
    constexpr TCopyOptions() = default;
    constexpr TCopyOptions(std::initializer_list<TCopyOption> Options)
    {
        for (TCopyOption o : Options)
            FMask = static_cast<std::uint16_t>(FMask | (1u << o));
    }
    static constexpr TCopyOptions FromMask(std::uint16_t Mask)
    {
        TCopyOptions o;
        o.FMask = Mask;
        return o;
    }
    constexpr std::uint16_t Mask() const { return FMask; }
    constexpr bool Contains(TCopyOption O) const { return FMask & (1u << O); }
    constexpr TCopyOptions& operator+=(TCopyOption O)
    {
        FMask = static_cast<std::uint16_t>(FMask | (1u << O));
        return *this;
    }
    constexpr TCopyOptions& operator-=(TCopyOption O)
    {
        FMask = static_cast<std::uint16_t>(FMask & ~(1u << O));
        return *this;
    }

private:
    std::uint16_t FMask = 0;
};

enum TShellCopyMode : unsigned
{
    scmCopy = 0x1,
    scmQuiet = 0x2,
};
using TShellCopyModes = unsigned; // TShellCopyMode bits

class TCopyThread : public QThread
{
public:
    // A copy of the file ASourceName to ADestName in blocks of ABufSize bytes (a size below 1
    // takes DefaultBufferSize, one above MaxBufferSize is cut to it). Starts at once unless ASuspend; then
    // Start() starts it.
    TCopyThread(const QString& ASourceName, const QString& ADestName, bool ASuspend, int ABufSize,
                Priority APriority = InheritPriority);
    // A copy of a stream source (ASource.StreamData.FileStream) in blocks of its proposed size.
    TCopyThread(const TFileData& ASource, const QString& ADestName, bool ASuspend,
                Priority APriority = InheritPriority);
    // Waits for the thread; a running copy is cancelled first.
    ~TCopyThread() override;

    static constexpr int DefaultBufferSize = 524288;
    static constexpr int MaxBufferSize = 64 << 20;

    void Start();
    // The running step stops after the current block with result 128.
    virtual void CancelThread();

    bool CheckTime() const { return FCheckTime; }
    void SetCheckTime(bool Value) { FCheckTime = Value; }
    bool CopyAttr() const { return FCopyAttr; }
    void SetCopyAttr(bool Value) { FCopyAttr = Value; }
    bool CopyCreationTime() const { return FCopyCrTm; }
    void SetCopyCreationTime(bool Value) { FCopyCrTm = Value; }
    bool CopyPermissions() const { return FCopyAcl; }
    void SetCopyPermissions(bool Value) { FCopyAcl = Value; }
    bool CopyStorage() const { return FCopyStorage; }
    void SetCopyStorage(bool Value) { FCopyStorage = Value; }
    bool CopyAltStreams() const { return FCopyAltStreams; }
    void SetCopyAltStreams(bool Value) { FCopyAltStreams = Value; }
    bool CopyTimeStamp() const { return FCopyTimeStamp; }
    void SetCopyTimeStamp(bool Value) { FCopyTimeStamp = Value; }
    std::uint32_t VerifyDelay() const { return FMaxWait; }
    void SetVerifyDelay(std::uint32_t Seconds) { FMaxWait = Seconds; }
    TShellCopyModes ShellCopy() const { return FShellCopy; }
    void SetShellCopy(TShellCopyModes Value) { FShellCopy = Value; }
    bool Overwrite() const { return FOverwrite; }
    void SetOverwrite(bool Value) { FOverwrite = Value; }
    bool ResetArchiveBit() const { return FResetArchive; }
    void SetResetArchiveBit(bool Value) { FResetArchive = Value; }
    const TFileProgressEvent& OnProgress() const { return FOnProgress; }
    void SetOnProgress(const TFileProgressEvent& Handler);
    bool Paused() const { return FPaused; }
    void SetPaused(bool Value);
    const QString& TempDir() const { return fTmpDir; }
    void SetTempDir(const QString& Folder);
    void SetNoWriteCache(bool Value);

    // Results: read them once Done is true.
    bool Done() const { return FDone.load(std::memory_order_acquire); }
    int ErrorType() const { return FErrFlag; }
    int ErrorCode() const { return FError; }
    const QString& SysErrorMsg() const { return FSysErrMsg; }
    int Ratio() const { return FRatio; }

protected:
    struct TNoStart
    {
    };
    // The constructors without the start, for derived classes that start when they are complete.
    TCopyThread(TNoStart, const QString& ASourceName, const QString& ADestName, int ABufSize,
                Priority APriority);
    TCopyThread(TNoStart, const TFileData& ASource, const QString& ADestName, Priority APriority);

    void run() final;
    // Cancels a running copy and waits for it. Every class of the chain calls it first in its
    // destructor, so the thread never runs on a half-destroyed object.
    void StopThread();
    virtual void Execute();
    virtual void FinishThread(int Result);
    virtual void DoProgress(TFileAction AAction, bool ASpeedLimit, qint64 ACount);

    // The steps; each returns 0 or a step result.
    int OpenStreams();
    int StreamCopy();
    int ShellCopyFile();
    int BlockCopy(bool ToDest, bool ASpeedLimit, qint64 Length);
    int FinishCopy(bool ACopyStorage, bool ACopyAltStreams, bool ACopyAcl);
    int VerifyCopy();
    // Opens the destination for a verification, with the retries a file that is still being closed
    // elsewhere needs; 0 or ceVerifyOpen (message kept). Open: 0 or the system error code.
    int OpenForVerify(const std::function<int()>& Open);
    void ReleaseStreams();
    // One block of the source into FBuffer; 0 or ceRead. A plain file must deliver Count bytes.
    int ReadBlock(qint64 Count, qint64& Got);
    // FBuffer's first Count bytes to the destination; 0, ceDiskFull or ceWrite (message kept).
    int WriteBlock(qint64 Count);
    // Keeps a failed call's system error code for the error text; false for 0 (success).
    bool RecordSysError(int Code);
    // Waits at the pause gate; a paused thread stays here until resumed.
    void WaitUnpaused() { FEvent.Wait(); }
    bool UserBreak() const { return FUserBreak.load(std::memory_order_relaxed); }

    TFileProgressEvent FOnProgress;
    bool FCheckTime = true;
    TShellCopyModes FShellCopy = 0;
    bool FCompress = false;
    int FSysError = 0;
    bool FIStreamSource = false;
    bool FEnableSpLimit = false;
    std::atomic<bool> FPaused{false};
    TManualResetEvent FEvent{true};
    int FError = 0;
    int FErrFlag = etCopy;
    QString FSysErrMsg;

    QString SourceName, DestName;
    QString SourceNameXL, DestNameXL;
    QString fTmpDir;
    TFileData SourceFileData;

    std::unique_ptr<char[]> FBuffer;
    std::shared_ptr<IInputStream> iSource;
    std::unique_ptr<TExtFileStream> sSource;
    std::unique_ptr<TWriteFileStream> sDest;
    std::uint64_t SrcSize = 0;

    std::uint32_t FMaxWait = 5;
    std::uint32_t FWriteMode = FILE_FLAG_SEQUENTIAL_SCAN;
    std::uint32_t FBufSize = DefaultBufferSize;

    std::atomic<bool> FUserBreak{false};
    bool FCopyTimeStamp = true;
    bool FCopyAttr = true;
    bool FResetArchive = false;
    bool FCopyCrTm = false;
    bool FCopyStorage = false;
    bool FCopyAltStreams = false;
    bool FCopyAcl = false;
    bool FOverwrite = false;
    bool FVerify = false;
    bool FNeedCrc = false; // the block copy computes the CRC-32 even without a verification

    TZCompressionLevel FCompLevel = zcDefault;
    std::uint32_t FCrc = 0;
    qint64 UTotal = 0;
    qint64 CTotal = 0;
    int FRatio = -1;
    TEncryption* FCrypting = nullptr;
    TFileAction FAction = acNone;
    qint64 FCount = 0;

private:
    void Init(int ABufSize);
    int CopyAltStreamsTo();

    Priority FPriority = InheritPriority;
    std::atomic<bool> FDone{false};
};

// Adds gzip, one-file zip and the encrypted container to the copy thread.
class TGZipThread : public TCopyThread
{
public:
    TGZipThread(const QString& ASourceName, const QString& ADestName, TEncryption* AEncryption, bool ASuspend,
                int ABufSize, Priority APriority = InheritPriority);
    TGZipThread(const TFileData& ASource, const QString& ADestName, TEncryption* AEncryption, bool ASuspend,
                Priority APriority = InheritPriority);
    ~TGZipThread() override { StopThread(); }

    TZCompressionLevel CompressionLevel() const { return FCompLevel; }
    void SetCompressionLevel(TZCompressionLevel Value) { FCompLevel = Value; }
    // CRC-32 of the data read from the source; a plain copy without verification leaves the data
    // to the system and has none (0).
    std::uint32_t Crc() const { return FCrc; }
    const QString& Filename() const { return FName; }
    void SetFilename(const QString& Value) { FName = Value; }

protected:
    TGZipThread(TNoStart, const QString& ASourceName, const QString& ADestName, TEncryption* AEncryption,
                int ABufSize, Priority APriority);
    TGZipThread(TNoStart, const TFileData& ASource, const QString& ADestName, TEncryption* AEncryption,
                Priority APriority);

    void Execute() override;

    // The compressed and encrypted formats and their verification; each returns 0 or a step result.
    virtual int GZipCopy();
    virtual int VerifyGZip();
    // The one-file zip archive over streams OpenStreams has opened; deflated when FCompress is set.
    virtual int ZipCopy();
    virtual int VerifyZip();
    virtual int EncryptCopy();
    virtual int VerifyEncrypted();

    QString FName;
    // The verifications compare with the CRC-32 and size of the source read before (FCrc, UTotal);
    // without one they check the file against its own stored CRC and sizes only.
    bool FHaveSourceCrc = true;

private:
    int WriteGZip();
    int Deflate(const TByteSink& Sink, bool ASpeedLimit, qint64& Written);
    int DeflateAndEncrypt(class TDestDevice& Dest);
    int InflateCheck(class TSysFileDevice& File, qint64 CompressedLength);
};

// Chooses the method from a set of options; the class callers create.
class TWinCopyThread : public TGZipThread
{
public:
    TWinCopyThread(const QString& ASourceName, const QString& ADestName, TEncryption* AEncryption,
                   TCopyOptions AOptions, bool ASuspend, int ABufSize, Priority APriority = InheritPriority);
    // A stream source: of the options only compression, overwriting, time stamps, the time check
    // and the write cache apply.
    TWinCopyThread(const TFileData& ASource, const QString& ADestName, TEncryption* AEncryption,
                   TCopyOptions AOptions, bool ASuspend, Priority APriority = InheritPriority);
    ~TWinCopyThread() override { StopThread(); }

protected:
    void Execute() override;

    bool FZipCompress = false;

private:
    // The options that file and stream sources share, then the error context they decide.
    void SetOptions(TCopyOptions AOptions);
    void SetErrorType();
};

enum class TVerifyFormat
{
    vfGZip,
    vfZip,
    vfEncrypted,
};

// Checks a file a copy thread wrote, on its own: against the source file ASourceName when one is
// given (its CRC-32 and size), else against what the file itself stores. Encrypted data needs
// AEncryption with the password. Results as with the copy threads.
class TVerifyThread : public TGZipThread
{
public:
    TVerifyThread(const QString& AFileName, TVerifyFormat AFormat, const QString& ASourceName,
                  TEncryption* AEncryption, bool ASuspend);
    ~TVerifyThread() override { StopThread(); }

protected:
    void Execute() override;

private:
    TVerifyFormat FFormat;
    bool FWithSource;
};
