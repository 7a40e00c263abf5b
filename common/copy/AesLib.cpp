#include "AesLib.h"

#include "DeviceIo.h"
#include "ManualResetEvent.h"

#include "base/Errors.h"

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr int BlockSize = 16;
// Counter blocks encrypted with one library call: large enough for the cipher's parallel path.
constexpr int BulkBlocks = 256;

// A failure inside the cipher library; the stream operations turn it into orError.
class ECryptError : public Exception
{
public:
    using Exception::Exception;
};

// Data ^= Stream over Bytes, a multiple of 8, a word at a time.
void XorWords(unsigned char* Data, const unsigned char* Stream, qint64 Bytes)
{
    for (qint64 i = 0; i < Bytes; i += 8) {
        quint64 d, k;
        std::memcpy(&d, Data + i, 8);
        std::memcpy(&k, Stream + i, 8);
        d ^= k;
        std::memcpy(Data + i, &d, 8);
    }
}

// Wipes a byte array's contents before it is freed.
struct TWipe
{
    QByteArray& Data;
    ~TWipe()
    {
        if (!Data.isEmpty()) OPENSSL_cleanse(Data.data(), size_t(Data.size()));
    }
};

} // namespace

struct TFCryptContext
{
    EVP_MAC* MacAlgorithm = nullptr;
    EVP_CIPHER_CTX* Aes = nullptr;
    EVP_MAC_CTX* Mac = nullptr;
    quint64 Counter = 0; // the low 8 bytes of the counter block, little-endian; the rest stays zero
    unsigned char KeyStream[BlockSize] = {};
    int Pos = BlockSize; // next unused byte of KeyStream
    unsigned char Scratch[BulkBlocks * BlockSize] = {};

    TFCryptContext() : MacAlgorithm(EVP_MAC_fetch(nullptr, "HMAC", nullptr)) {}
    ~TFCryptContext()
    {
        Reset();
        EVP_MAC_free(MacAlgorithm);
    }
    void Reset()
    {
        EVP_CIPHER_CTX_free(Aes); // both free functions wipe the key schedules
        EVP_MAC_CTX_free(Mac);
        Aes = nullptr;
        Mac = nullptr;
        Counter = 0;
        Pos = BlockSize;
        OPENSSL_cleanse(KeyStream, sizeof KeyStream);
        OPENSSL_cleanse(Scratch, sizeof Scratch);
    }
    // Fills Count counter blocks into Scratch, incrementing before each, and encrypts them in place.
    void NextKeyStream(int Count)
    {
        for (int i = 0; i < Count; ++i) {
            quint64 c = ++Counter;
            unsigned char* block = Scratch + i * BlockSize;
            for (int b = 0; b < 8; ++b, c >>= 8)
                block[b] = static_cast<unsigned char>(c);
            std::memset(block + 8, 0, 8);
        }
        int outLen = 0;
        if (EVP_EncryptUpdate(Aes, Scratch, &outLen, Scratch, Count * BlockSize) != 1 ||
            outLen != Count * BlockSize)
            throw ECryptError(QStringLiteral("AES block encryption failed"));
    }
    void Mac_(const unsigned char* Data, qint64 Length)
    {
        if (Length > 0 && EVP_MAC_update(Mac, Data, size_t(Length)) != 1)
            throw ECryptError(QStringLiteral("HMAC-SHA1 failed"));
    }
};

int AesKeyLength(int KeyMode)
{
    return KeyMode >= 1 && KeyMode <= 3 ? 8 + 8 * KeyMode : 0;
}

int AesSaltLength(int KeyMode)
{
    return KeyMode >= 1 && KeyMode <= 3 ? 4 + 4 * KeyMode : 0;
}

QByteArray Pbkdf2HmacSha1(const QByteArray& Password, const QByteArray& Salt, int Iterations, int Length)
{
    QByteArray out(Length, '\0');
    if (Length <= 0 ||
        PKCS5_PBKDF2_HMAC_SHA1(Password.constData(), int(Password.size()),
                               reinterpret_cast<const unsigned char*>(Salt.constData()), int(Salt.size()),
                               Iterations, Length, reinterpret_cast<unsigned char*>(out.data())) != 1)
        return {};
    return out;
}

TCrypt::TCrypt(const QByteArray& Password, int AMode, quint32 ABufSize)
    : FCryptCtx(std::make_unique<TFCryptContext>()),
      FPwd(Password.constData(), std::min<qsizetype>(Password.size(), AesMaxPasswordLength)),
      CBufSize(std::max<quint32>(ABufSize, 1)), CBuffer(qsizetype(CBufSize), '\0')
{
    SetKeyMode(AMode);
    FFixedKey = true;
}

TCrypt::~TCrypt()
{
    FCryptCtx->Reset();
    if (!FPwd.isEmpty()) OPENSSL_cleanse(FPwd.data(), size_t(FPwd.size()));
    OPENSSL_cleanse(CBuffer.data(), size_t(CBuffer.size()));
}

void TCrypt::SetKeyMode(int Value)
{
    if (Value >= 1 && Value <= 3) {
        FMode = Value;
        return;
    }
    FFixedKey = false;
    if (FPwd.size() < 32)
        FMode = 1;
    else if (FPwd.size() >= 48)
        FMode = 3;
    else
        FMode = 2;
}

bool TCrypt::StartContext(const QByteArray& Salt, QByteArray& Verifier)
{
    TFCryptContext& ctx = *FCryptCtx;
    ctx.Reset();
    const int keyLen = AesKeyLength(FMode);
    QByteArray material = Pbkdf2HmacSha1(FPwd, Salt, AesIterations, 2 * keyLen + AesVerifierSize);
    TWipe wipe{material};
    if (material.isEmpty() || !ctx.MacAlgorithm) return false;
    const auto* key = reinterpret_cast<const unsigned char*>(material.constData());

    const EVP_CIPHER* cipher = FMode == 1   ? EVP_aes_128_ecb()
                               : FMode == 2 ? EVP_aes_192_ecb()
                                            : EVP_aes_256_ecb();
    ctx.Aes = EVP_CIPHER_CTX_new();
    ctx.Mac = EVP_MAC_CTX_new(ctx.MacAlgorithm);
    char digest[] = "SHA1";
    const OSSL_PARAM params[] = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, digest, 0),
                                 OSSL_PARAM_construct_end()};
    if (!ctx.Aes || !ctx.Mac || EVP_EncryptInit_ex(ctx.Aes, cipher, nullptr, key, nullptr) != 1 ||
        EVP_CIPHER_CTX_set_padding(ctx.Aes, 0) != 1 ||
        EVP_MAC_init(ctx.Mac, key + keyLen, size_t(keyLen), params) != 1) {
        ctx.Reset();
        return false;
    }
    Verifier = material.mid(2 * keyLen, AesVerifierSize);
    return true;
}

void TCrypt::Crypt(unsigned char* Data, qint64 Length)
{
    TFCryptContext& ctx = *FCryptCtx;
    if (!ctx.Aes) throw ECryptError(QStringLiteral("No encryption context: the stream header is missing"));
    while (Length > 0) {
        if (ctx.Pos < BlockSize) {
            const qint64 take = std::min<qint64>(BlockSize - ctx.Pos, Length);
            for (qint64 i = 0; i < take; ++i)
                Data[i] ^= ctx.KeyStream[ctx.Pos + i];
            ctx.Pos += int(take);
            Data += take;
            Length -= take;
        } else if (Length >= BlockSize) {
            const int blocks = int(std::min<qint64>(Length / BlockSize, BulkBlocks));
            ctx.NextKeyStream(blocks);
            const qint64 bytes = qint64(blocks) * BlockSize;
            XorWords(Data, ctx.Scratch, bytes);
            Data += bytes;
            Length -= bytes;
        } else {
            ctx.NextKeyStream(1);
            std::memcpy(ctx.KeyStream, ctx.Scratch, BlockSize);
            ctx.Pos = 0;
        }
    }
}

bool TCrypt::WriteHeader(QIODevice& sDest)
{
    QByteArray salt(AesSaltLength(FMode), '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char*>(salt.data()), int(salt.size())) != 1) return false;
    QByteArray verifier;
    if (!StartContext(salt, verifier)) return false;
    return WriteFull(sDest, (salt + verifier).constData(), salt.size() + verifier.size());
}

void TCrypt::EncryptBlock(char* Buffer, qint64 BLen)
{
    auto* data = reinterpret_cast<unsigned char*>(Buffer);
    Crypt(data, BLen);
    FCryptCtx->Mac_(data, BLen);
}

void TCrypt::DecryptBlock(char* Buffer, qint64 BLen)
{
    auto* data = reinterpret_cast<unsigned char*>(Buffer);
    FCryptCtx->Mac_(data, BLen);
    Crypt(data, BLen);
}

bool TCrypt::WriteTrailer(QIODevice& sDest)
{
    TFCryptContext& ctx = *FCryptCtx;
    unsigned char mac[EVP_MAX_MD_SIZE];
    size_t macLen = 0;
    if (!ctx.Mac || EVP_MAC_final(ctx.Mac, mac, &macLen, sizeof mac) != 1 || macLen < AesTrailerSize)
        return false;
    const bool ok = WriteFull(sDest, reinterpret_cast<const char*>(mac), AesTrailerSize);
    ctx.Reset();
    return ok;
}

bool TCrypt::ReadHeader(QIODevice& sSource)
{
    const int saltLen = AesSaltLength(FMode);
    QByteArray stored(saltLen + AesVerifierSize, '\0');
    if (ReadFull(sSource, stored.data(), stored.size()) != stored.size()) return false;
    QByteArray verifier;
    if (!StartContext(stored.left(saltLen), verifier)) return false;
    return verifier == stored.mid(saltLen);
}

bool TCrypt::ReadTrailer(QIODevice& sSource)
{
    TFCryptContext& ctx = *FCryptCtx;
    unsigned char mac[EVP_MAX_MD_SIZE];
    size_t macLen = 0;
    if (!ctx.Mac || EVP_MAC_final(ctx.Mac, mac, &macLen, sizeof mac) != 1 || macLen < AesTrailerSize)
        return false;
    ctx.Reset();
    char stored[AesTrailerSize];
    if (ReadFull(sSource, stored, AesTrailerSize) != AesTrailerSize) return false;
    return CRYPTO_memcmp(stored, mac, AesTrailerSize) == 0;
}

bool TCrypt::WaitGate()
{
    return !FEvent || FEvent->Wait();
}

TOpResult TCrypt::EncryptStreamEx(QIODevice& sSource, QIODevice& sDest, bool SpeedLimit,
                                  const TStatusEvent& CancelEncryption)
{
    if (!WriteHeader(sDest)) return orError;
    qint64 total = 0;
    qint64 n = 0;
    try {
        do {
            WaitGate();
            n = ReadFull(sSource, CBuffer.data(), CBufSize);
            if (n < 0) return orError;
            total += n;
            DoProgress(acEncrypt, total, SpeedLimit);
            EncryptBlock(CBuffer.data(), n);
            if (!WriteFull(sDest, CBuffer.constData(), n)) return orError;
            if (CancelEncryption && CancelEncryption()) return orUserBreak;
        } while (n == qint64(CBufSize));
    } catch (...) {
        return orError;
    }
    return WriteTrailer(sDest) ? orOk : orError;
}

TOpResult TCrypt::DecryptStreamEx(QIODevice& sSource, QIODevice* sDest, qint64 SLength, bool SpeedLimit,
                                  const TStatusEvent& CancelDecryption)
{
    qint64 remaining = SLength - GetHeaderSize() - GetTrailerSize();
    if (remaining < 0) return orError; // too short to hold the layout at all
    if (!ReadHeader(sSource)) return orError;
    qint64 total = 0;
    try {
        while (remaining > 0) {
            WaitGate();
            const qint64 n = ReadFull(sSource, CBuffer.data(), std::min<qint64>(CBufSize, remaining));
            if (n <= 0) return orError;
            total += n;
            DoProgress(acDecrypt, total, SpeedLimit);
            DecryptBlock(CBuffer.data(), n);
            if (sDest && !WriteFull(*sDest, CBuffer.constData(), n)) return orError;
            remaining -= n;
            if (CancelDecryption && CancelDecryption()) return orUserBreak;
        }
    } catch (...) {
        return orError;
    }
    return ReadTrailer(sSource) ? orOk : orError;
}

void AesThreadCleanup()
{
    OPENSSL_thread_stop();
}
