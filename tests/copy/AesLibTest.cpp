// The encryption against published vectors and against an independent codec on Python's
// `cryptography`, in both directions; failures, the pause gate, cancelling and progress.

#include "copy/AesLib.h"
#include "copy/ManualResetEvent.h"

#include "base/Errors.h"

#include "ArchiveAssembly.h"
#include "fixtures/PeerTools.h"
#include "fixtures/TestFiles.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QRandomGenerator>
#include <QSemaphore>
#include <QThread>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>

namespace {

const QByteArray Password = "Pässwort-1"_qba;

QByteArray RandomBytes(qsizetype Size, quint32 Seed)
{
    QByteArray data(Size, '\0');
    QRandomGenerator gen(Seed);
    for (char& c : data)
        c = char(gen.generate() & 0xFF);
    return data;
}

QByteArray Encrypt(TCrypt& Crypt, const QByteArray& Plain)
{
    QBuffer in;
    in.setData(Plain);
    in.open(QIODevice::ReadOnly);
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    EXPECT_EQ(Crypt.EncryptStreamEx(in, out, false), orOk);
    return out.data();
}

TOpResult Decrypt(TCrypt& Crypt, const QByteArray& Stream, QByteArray* Plain)
{
    QBuffer in;
    in.setData(Stream);
    in.open(QIODevice::ReadOnly);
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    const TOpResult r = Crypt.DecryptStreamEx(in, Plain ? &out : nullptr, Stream.size(), false);
    if (Plain) *Plain = out.data();
    return r;
}

// The independent implementation of the stream in Python's cryptography.
int RunReference(const QStringList& Args)
{
    const TToolResult r = RunPython(ReferenceScript(), Args);
    if (!r.Err.isEmpty()) ADD_FAILURE() << r.Err.toStdString();
    return r.ExitCode;
}

TEST(AesLib, Pbkdf2MatchesRfc6070)
{
    struct TVector
    {
        QByteArray Password, Salt;
        int Iterations;
        const char* Hex;
    };
    const TVector vectors[] = {
        {"password"_qba, "salt"_qba, 1, "0c60c80f961f0e71f3a9b524af6012062fe037a6"},
        {"password"_qba, "salt"_qba, 2, "ea6c014dc72d6f8ccd1ed92ace1d41f0d8de8957"},
        {"password"_qba, "salt"_qba, 4096, "4b007901b765489abead49d926f721d065a429c1"},
        {"passwordPASSWORDpassword"_qba, "saltSALTsaltSALTsaltSALTsaltSALTsalt"_qba, 4096,
         "3d2eec4fe41c849b80c8d83662c0e44a8b291a964cf2f07038"},
        {QByteArray("pass\0word", 9), QByteArray("sa\0lt", 5), 4096, "56fa6aa75548099dcc37d7f03425e0c3"},
    };
    for (const TVector& v : vectors) {
        const QByteArray expected = QByteArray::fromHex(v.Hex);
        EXPECT_EQ(Pbkdf2HmacSha1(v.Password, v.Salt, v.Iterations, int(expected.size())).toHex(),
                  expected.toHex())
            << v.Password.toStdString() << " c=" << v.Iterations;
    }
}

// Every key mode over lengths around the block size, with a work buffer that is not a multiple of
// it: what we write is byte for byte what the reference writes with our salt, and what the
// reference writes with its own salt decrypts here.
TEST(AesLib, StreamsMatchAnIndependentImplementationBothWays)
{
    TTestDir dir;
    const QString pwFile = dir.Write(QStringLiteral("pw"), Password);
    for (int mode = 1; mode <= 3; ++mode) {
        for (const qsizetype size : {0, 1, 15, 16, 17, 100003}) {
            SCOPED_TRACE(testing::Message() << "mode " << mode << ", " << size << " bytes");
            const QByteArray plain = RandomBytes(size, quint32(mode * 1000 + size));
            TEncryption crypt(Password, mode, 1000);

            const QByteArray ours = Encrypt(crypt, plain);
            EXPECT_EQ(ours.size(), size + crypt.GetHeaderSize() + crypt.GetTrailerSize());
            const QString oursFile = dir.Write(QStringLiteral("ours"), ours);
            EXPECT_EQ(RunReference({QStringLiteral("same"), QString::number(mode), pwFile, oursFile}), 0);

            const QString plainFile = dir.Write(QStringLiteral("plain"), plain);
            const QString theirsFile = dir.Path(QStringLiteral("theirs"));
            const QByteArray salt = RandomBytes(AesSaltLength(mode), quint32(size));
            ASSERT_EQ(RunReference({QStringLiteral("encrypt"), QString::number(mode), pwFile,
                                    QString::fromLatin1(salt.toHex()), plainFile, theirsFile}),
                      0);
            QByteArray back;
            EXPECT_EQ(Decrypt(crypt, ReadAll(theirsFile), &back), orOk);
            EXPECT_EQ(back, plain);
        }
    }
}

// 7-Zip's own WinZip AES reader takes our stream, wrapped as the stored AE-1 entry of a zip.
TEST(AesLib, SevenZipDecryptsOurStream)
{
    TTestDir dir;
    for (int mode = 1; mode <= 3; ++mode) {
        SCOPED_TRACE(mode);
        const QByteArray plain = RandomBytes(70001, quint32(mode));
        TEncryption crypt(Password, mode, 4096);
        const QString zip = dir.Path(QStringLiteral("wrapped%1.zip").arg(mode));
        ASSERT_EQ(RunReference({QStringLiteral("zip"), QString::number(mode),
                                dir.Write(QStringLiteral("stream"), Encrypt(crypt, plain)),
                                dir.Write(QStringLiteral("plain"), plain), zip}),
                  0);
        const QString pw = QStringLiteral("-p") + QString::fromUtf8(Password);
        const TToolResult test = RunTool(QStringLiteral("7zz"), {QStringLiteral("t"), pw, zip});
        EXPECT_EQ(test.ExitCode, 0) << test.Text().toStdString();
        EXPECT_TRUE(test.Text().contains(QLatin1String("Everything is Ok"))) << test.Text().toStdString();
        EXPECT_EQ(RunTool(QStringLiteral("7zz"), {QStringLiteral("x"), QStringLiteral("-so"), pw, zip}).Out,
                  plain);
        const TToolResult wrong =
            RunTool(QStringLiteral("7zz"), {QStringLiteral("t"), QStringLiteral("-pWRONG"), zip});
        EXPECT_NE(wrong.ExitCode, 0);
        EXPECT_TRUE(wrong.Text().contains(QLatin1String("Wrong password"))) << wrong.Text().toStdString();
    }
}

// The key stream position carries over between blocks of any length.
TEST(AesLib, BlocksOfAnyLengthFollowEachOther)
{
    TTestDir dir;
    const QString pwFile = dir.Write(QStringLiteral("pw"), Password);
    const QByteArray plain = RandomBytes(5000, 7);
    TEncryption crypt(Password, 2, 4096);
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    ASSERT_TRUE(crypt.WriteHeader(out));
    QByteArray work = plain;
    qsizetype pos = 0;
    for (const qsizetype piece : {1, 15, 17, 0, 31, 16, 4096, 3}) {
        crypt.EncryptBlock(work.data() + pos, piece);
        pos += piece;
    }
    crypt.EncryptBlock(work.data() + pos, work.size() - pos);
    out.write(work);
    ASSERT_TRUE(crypt.WriteTrailer(out));

    const QString decrypted = dir.Path(QStringLiteral("plain"));
    ASSERT_EQ(RunReference({QStringLiteral("decrypt"), QStringLiteral("2"), pwFile,
                            dir.Write(QStringLiteral("stream"), out.data()), decrypted}),
              0);
    EXPECT_EQ(ReadAll(decrypted), plain);
}

TEST(AesLib, EmptyStreamIsHeaderAndCodeOnly)
{
    TEncryption crypt(Password, 3, 4096);
    const QByteArray stream = Encrypt(crypt, {});
    EXPECT_EQ(stream.size(), 12 + 16);
    QByteArray back = "untouched"_qba;
    EXPECT_EQ(Decrypt(crypt, stream, &back), orOk);
    EXPECT_TRUE(back.isEmpty());
}

TEST(AesLib, KeyModeFollowsThePasswordLengthUnlessGiven)
{
    struct TCase
    {
        int PasswordLength, Mode, Expected;
    };
    const TCase cases[] = {{0, 0, 1},  {31, 0, 1},   {32, 0, 2}, {47, 0, 2},
                           {48, 7, 3}, {200, -1, 3}, {60, 1, 1}, {5, 3, 3}};
    for (const TCase& c : cases) {
        TEncryption crypt(QByteArray(c.PasswordLength, 'p'), c.Mode, 4096);
        EXPECT_EQ(crypt.KeyMode(), c.Expected) << c.PasswordLength << " bytes, mode " << c.Mode;
        EXPECT_EQ(crypt.GetHeaderSize(), AesSaltLength(c.Expected) + 2);
    }
    TEncryption crypt(Password, 2, 4096);
    EXPECT_TRUE(crypt.FixedKey());
    crypt.SetKeyMode(0);
    EXPECT_FALSE(crypt.FixedKey());
    EXPECT_EQ(crypt.KeyMode(), 1);
}

TEST(AesLib, PasswordIsCutTo128Bytes)
{
    const QByteArray longPassword = RandomBytes(200, 3);
    TEncryption writer(longPassword, 1, 4096);
    const QByteArray stream = Encrypt(writer, "secret"_qba);
    QByteArray back;
    TEncryption cut(longPassword.left(128), 1, 4096);
    EXPECT_EQ(Decrypt(cut, stream, &back), orOk);
    EXPECT_EQ(back, "secret"_qba);
    TEncryption shorter(longPassword.left(127), 1, 4096);
    EXPECT_EQ(Decrypt(shorter, stream, nullptr), orError);
}

// A wrong password stops at the verifier before any output; damage anywhere else is found by the
// authentication code once all data went through.
TEST(AesLib, WrongPasswordAndDamagedStreamsFail)
{
    const QByteArray plain = RandomBytes(10000, 11);
    TEncryption crypt(Password, 1, 4096);
    const QByteArray stream = Encrypt(crypt, plain);

    QByteArray back = "x"_qba;
    TEncryption wrong("Passwort-1"_qba, 1, 4096);
    EXPECT_EQ(Decrypt(wrong, stream, &back), orError);
    EXPECT_TRUE(back.isEmpty());
    TEncryption otherMode(Password, 3, 4096);
    EXPECT_EQ(Decrypt(otherMode, stream, nullptr), orError);

    struct TDamage
    {
        const char* Name;
        qsizetype Offset; // byte flipped; -1: none
        qsizetype Keep;   // bytes of the stream handed over
    };
    const TDamage damages[] = {
        {"data", 10 + 5000, stream.size()},           {"first data byte", 10, stream.size()},
        {"code", stream.size() - 1, stream.size()},   {"truncated code", -1, stream.size() - 1},
        {"truncated data", -1, stream.size() - 3000}, {"shorter than the layout", -1, 19},
    };
    for (const TDamage& d : damages) {
        QByteArray damaged = stream.left(d.Keep);
        if (d.Offset >= 0) damaged[d.Offset] = char(damaged[d.Offset] ^ 0x01);
        EXPECT_EQ(Decrypt(crypt, damaged, &back), orError) << d.Name;
        if (d.Offset >= 0) {
            EXPECT_EQ(back.size(), plain.size()) << d.Name; // all data went through
        }
    }
    // A length beyond the end of the source.
    QBuffer src;
    src.setData(stream);
    src.open(QIODevice::ReadOnly);
    EXPECT_EQ(crypt.DecryptStreamEx(src, nullptr, stream.size() + 100, false), orError);
    // The object stays usable after failures.
    EXPECT_EQ(Decrypt(crypt, stream, &back), orOk);
    EXPECT_EQ(back, plain);
}

TEST(AesLib, ProgressReportsEveryBlockOnTheCallingThread)
{
    struct TReport
    {
        TFileAction Action;
        qint64 Count;
        bool SpeedLimit;
        bool operator==(const TReport&) const = default;
    };
    TEncryption crypt(Password, 1, 4096);
    QList<TReport> reports;
    crypt.SetOnProgress([&](TFileAction Action, qint64 Count, bool SpeedLimit) {
        EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
        reports.append({Action, Count, SpeedLimit});
    });
    QBuffer in;
    in.setData(RandomBytes(10000, 5));
    in.open(QIODevice::ReadOnly);
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    ASSERT_EQ(crypt.EncryptStreamEx(in, out, true), orOk);
    ASSERT_EQ(Decrypt(crypt, out.data(), nullptr), orOk);
    const QList<TReport> expected = {{acEncrypt, 4096, true},  {acEncrypt, 8192, true},
                                     {acEncrypt, 10000, true}, {acDecrypt, 4096, false},
                                     {acDecrypt, 8192, false}, {acDecrypt, 10000, false}};
    EXPECT_TRUE(reports == expected);
}

TEST(AesLib, UserBreakStopsWithoutTrailer)
{
    const QByteArray plain = RandomBytes(20000, 13);
    TEncryption crypt(Password, 1, 4096);
    int asked = 0;
    const TStatusEvent cancelThird = [&] { return ++asked == 3; };

    QBuffer in;
    in.setData(plain);
    in.open(QIODevice::ReadOnly);
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    EXPECT_EQ(crypt.EncryptStreamEx(in, out, false, cancelThird), orUserBreak);
    EXPECT_EQ(out.data().size(), crypt.GetHeaderSize() + 3 * 4096);

    const QByteArray stream = Encrypt(crypt, plain);
    asked = 0;
    QBuffer src;
    src.setData(stream);
    src.open(QIODevice::ReadOnly);
    QBuffer dst;
    dst.open(QIODevice::WriteOnly);
    EXPECT_EQ(crypt.DecryptStreamEx(src, &dst, stream.size(), false, cancelThird), orUserBreak);
    EXPECT_EQ(dst.data(), plain.left(3 * 4096));
}

// A closed gate holds the loop before its next block; opening it lets the stream finish intact.
TEST(AesLib, PauseGateHoldsBetweenBlocks)
{
    for (const bool decrypting : {false, true}) {
        SCOPED_TRACE(decrypting ? "decrypt" : "encrypt");
        const QByteArray plain = RandomBytes(64 * 1024, 17);
        TEncryption crypt(Password, 3, 4096);
        const QByteArray stream = Encrypt(crypt, plain);
        TManualResetEvent gate;
        crypt.SetEvent(&gate);
        std::atomic<qint64> lastCount{0};
        QSemaphore paused;
        crypt.SetOnProgress([&](TFileAction, qint64 Count, bool) {
            lastCount = Count;
            if (Count == 2 * 4096) {
                gate.Reset();
                paused.release();
            }
        });
        QBuffer in;
        in.setData(decrypting ? stream : plain);
        in.open(QIODevice::ReadOnly);
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        std::atomic<TOpResult> result{orError};
        QThread* worker = QThread::create([&] {
            result = decrypting ? crypt.DecryptStreamEx(in, &out, stream.size(), true)
                                : crypt.EncryptStreamEx(in, out, true);
            AesThreadCleanup(); // the crypto library's state for this thread goes before the wait ends
        });
        worker->start();
        ASSERT_TRUE(paused.tryAcquire(1, 60000));
        EXPECT_FALSE(worker->wait(100)); // 14 more blocks would take far less than this
        EXPECT_EQ(lastCount, 2 * 4096);
        gate.Set();
        ASSERT_TRUE(worker->wait(60000));
        delete worker;
        EXPECT_EQ(result, orOk);
        EXPECT_EQ(lastCount, plain.size());
        QByteArray back;
        crypt.SetEvent(nullptr);
        crypt.SetOnProgress({});
        if (decrypting) {
            EXPECT_EQ(out.data(), plain);
        } else {
            EXPECT_EQ(Decrypt(crypt, out.data(), &back), orOk);
            EXPECT_EQ(back, plain);
        }
    }
}

// A device that moves Limit bytes and then fails, the way a file on a vanished disk does.
class TFailingDevice : public QIODevice
{
public:
    explicit TFailingDevice(qint64 Limit) : FLeft(Limit)
    {
        open(QIODevice::ReadWrite | QIODevice::Unbuffered);
    }

protected:
    qint64 readData(char* Data, qint64 MaxSize) override { return Move(MaxSize, Data); }
    qint64 writeData(const char*, qint64 MaxSize) override { return Move(MaxSize, nullptr); }

private:
    qint64 Move(qint64 Size, char* Fill)
    {
        if (FLeft <= 0) return -1;
        const qint64 n = std::min(Size, FLeft);
        if (Fill) std::memset(Fill, 'r', size_t(n));
        FLeft -= n;
        return n;
    }
    qint64 FLeft;
};

// A read or write that fails part way is an error, never a short stream taken for complete.
TEST(AesLib, DeviceFailuresEndWithAnError)
{
    TEncryption crypt(Password, 1, 4096);
    QBuffer sink;
    sink.open(QIODevice::WriteOnly);
    for (const qint64 limit : {0, 5000}) {
        TFailingDevice source(limit);
        EXPECT_EQ(crypt.EncryptStreamEx(source, sink, false), orError) << "read fails after " << limit;
    }
    QBuffer plain;
    plain.setData(RandomBytes(10000, 19));
    plain.open(QIODevice::ReadOnly);
    for (const qint64 limit : {0, 5, 5000}) { // header, data
        TFailingDevice dest(limit);
        plain.seek(0);
        EXPECT_EQ(crypt.EncryptStreamEx(plain, dest, false), orError) << "write fails after " << limit;
    }
    const QByteArray stream = Encrypt(crypt, plain.data());
    QBuffer src;
    src.setData(stream);
    src.open(QIODevice::ReadOnly);
    TFailingDevice dest(5000);
    EXPECT_EQ(crypt.DecryptStreamEx(src, &dest, stream.size(), false), orError);
}

TEST(AesLib, BlockWithoutHeaderIsRefused)
{
    TEncryption crypt(Password, 1, 4096);
    char data[4] = {};
    EXPECT_THROW(crypt.EncryptBlock(data, 4), Exception);
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    EXPECT_FALSE(crypt.WriteTrailer(out));
}

} // namespace
