#pragma once
// WinZip AES encryption of byte streams with a password (AE-1/AE-2 layout): PBKDF2-HMAC-SHA1 key
// derivation, AES in counter mode with a little-endian counter, and a 10-byte HMAC-SHA1 code over the
// encrypted data. Layout of an encrypted stream: salt, 2-byte password verifier, data, 10-byte code.

#include "FileProgress.h"

#include <QByteArray>
#include <QIODevice>

#include <functional>
#include <memory>

class TManualResetEvent;

enum class TOpResult : int
{
    orOk,
    orError,
    orUserBreak,
};
using enum TOpResult;

// Asked between blocks; true stops the operation.
using TStatusEvent = std::function<bool()>;

inline constexpr int AesMaxPasswordLength = 128; // longer passwords are cut
inline constexpr int AesIterations = 1000;
inline constexpr int AesVerifierSize = 2;
inline constexpr int AesTrailerSize = 10;

// Lengths per key mode (1 = AES-128, 2 = AES-192, 3 = AES-256); 0 for any other mode.
int AesKeyLength(int KeyMode);
int AesSaltLength(int KeyMode);

// Derives Length bytes with PBKDF2-HMAC-SHA1; empty when the library refuses.
QByteArray Pbkdf2HmacSha1(const QByteArray& Password, const QByteArray& Salt, int Iterations, int Length);

struct TFCryptContext;

// Frees what the crypto library keeps for the calling thread. A thread that used an encryption
// object calls it before it ends, so that nothing of it outlives the thread's finish.
void AesThreadCleanup();

// One encryption or decryption at a time; WriteHeader or ReadHeader starts a new one, so an object
// serves any number of streams one after another. Used by one thread at a time.
class TCrypt
{
public:
    // Password: only its first 128 bytes are kept. AMode: 1 to 3, anything else chooses by the
    // password's length. ABufSize: the work buffer of the stream operations.
    TCrypt(const QByteArray& Password, int AMode, quint32 ABufSize);
    virtual ~TCrypt(); // wipes the password, the key material and the work buffer
    TCrypt(const TCrypt&) = delete;
    TCrypt& operator=(const TCrypt&) = delete;

    int KeyMode() const { return FMode; }
    // 1 to 3 as they are; anything else clears FixedKey and chooses by the password's length:
    // fewer than 32 bytes AES-128, 48 or more AES-256, otherwise AES-192.
    void SetKeyMode(int Value);
    bool FixedKey() const { return FFixedKey; }
    // The pause gate waited on before every block; not owned, none by default.
    void SetEvent(TManualResetEvent* Value) { FEvent = Value; }
    TManualResetEvent* Event() const { return FEvent; }

    int GetHeaderSize() const { return AesSaltLength(FMode) + AesVerifierSize; }
    int GetTrailerSize() const { return AesTrailerSize; }

    // Fresh salt, key derivation, new context; writes salt and verifier. False when that fails.
    bool WriteHeader(QIODevice& sDest);
    // Encrypts in place; blocks of any length may follow each other.
    void EncryptBlock(char* Buffer, qint64 BLen);
    // Writes the first 10 bytes of the HMAC. False when writing fails.
    bool WriteTrailer(QIODevice& sDest);

    // Reads the salt of the current key mode and the verifier; true when the verifier matches the
    // password (false: wrong password, data in another layout, or a read failure).
    bool ReadHeader(QIODevice& sSource);
    void DecryptBlock(char* Buffer, qint64 BLen);
    // Reads the stored code; true when it equals the computed one.
    bool ReadTrailer(QIODevice& sSource);

    // Reads sSource to its end and writes the whole encrypted layout to sDest.
    TOpResult EncryptStreamEx(QIODevice& sSource, QIODevice& sDest, bool SpeedLimit,
                              const TStatusEvent& CancelEncryption = {});
    bool EncryptStream(QIODevice& sSource, QIODevice& sDest, bool SpeedLimit)
    {
        return EncryptStreamEx(sSource, sDest, SpeedLimit) == orOk;
    }
    // SLength: the length of the whole layout (salt to code) from sSource's position. sDest may be
    // null: the data is then only checked. Output already written is not withdrawn on a failure.
    TOpResult DecryptStreamEx(QIODevice& sSource, QIODevice* sDest, qint64 SLength, bool SpeedLimit,
                              const TStatusEvent& CancelDecryption = {});
    bool DecryptStream(QIODevice& sSource, QIODevice* sDest, qint64 SLength, bool SpeedLimit)
    {
        return DecryptStreamEx(sSource, sDest, SLength, SpeedLimit) == orOk;
    }

protected:
    virtual void DoProgress(TFileAction, qint64, bool) {}

private:
    bool StartContext(const QByteArray& Salt, QByteArray& Verifier);
    void Crypt(unsigned char* Data, qint64 Length);
    bool WaitGate();

    int FMode = 1;
    bool FFixedKey = true;
    std::unique_ptr<TFCryptContext> FCryptCtx;
    QByteArray FPwd;
    quint32 CBufSize;
    QByteArray CBuffer;
    TManualResetEvent* FEvent = nullptr;
};

// Adds progress reports (acEncrypt, acDecrypt), called on the thread that runs the operation.
class TEncryption : public TCrypt
{
public:
    TEncryption(const QByteArray& Password, int AMode, quint32 ABufSize) : TCrypt(Password, AMode, ABufSize)
    {
    }

    const TFileProgressEvent& OnProgress() const { return FOnProgress; }
    void SetOnProgress(TFileProgressEvent Value) { FOnProgress = std::move(Value); }

protected:
    void DoProgress(TFileAction Action, qint64 Count, bool SpeedLimit) override
    {
        if (FOnProgress) FOnProgress(Action, Count, SpeedLimit);
    }

private:
    TFileProgressEvent FOnProgress;
};
