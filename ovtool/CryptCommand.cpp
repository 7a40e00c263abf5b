// ovtool encrypt / decrypt: the encrypted container of the copy engine from the command line.

#include "ToolCommand.h"

#include "base/SafeFormat.h"
#include "copy/AesContainer.h"
#include "copy/SysFileDevice.h"

#include "platform/FileSystem.h"
#include "platform/SysErrors.h"

#include <QFile>
#include <QSaveFile>
#include <QtEndian>

namespace {

constexpr quint32 BufSize = 262144;

struct TCryptArgs
{
    QString Source, Dest;
    QByteArray Password;
    int KeyMode = 3;
};

TCryptArgs ParseArgs(const QStringList& Args)
{
    TCryptArgs a;
    QStringList files;
    bool havePassword = false;
    for (qsizetype i = 0; i < Args.size(); ++i) {
        const QString& arg = Args[i];
        if (arg == QLatin1String("--password-file") || arg == QLatin1String("--key-mode")) {
            if (i + 1 >= Args.size())
                throw EUsageError(SafeFormat(QStringLiteral("%s needs a value"), {arg}));
            const QString value = Args[++i];
            if (arg == QLatin1String("--key-mode")) {
                bool ok = false;
                a.KeyMode = value.toInt(&ok);
                if (!ok || a.KeyMode < 1 || a.KeyMode > 3)
                    throw EUsageError(
                        QStringLiteral("--key-mode is 1 (AES-128), 2 (AES-192) or 3 (AES-256)"));
            } else {
                a.Password = ReadPasswordFile(value);
                havePassword = true;
            }
        } else if (arg.startsWith(QLatin1String("--"))) {
            throw EUsageError(SafeFormat(QStringLiteral("unknown option \"%s\""), {arg}));
        } else {
            files.append(arg);
        }
    }
    if (!havePassword) throw EUsageError(QStringLiteral("--password-file is missing"));
    if (files.size() != 2) throw EUsageError(QStringLiteral("SRC and DST are needed"));
    a.Source = files[0];
    a.Dest = files[1];
    return a;
}

void OpenSource(TSysFileDevice& Source, const QString& Name)
{
    if (const int e = Source.OpenRead(Name))
        throw Exception(
            SafeFormat(QStringLiteral("cannot open \"%s\": %s"), {Name, Platform::SysErrorMessage(e)}));
}

void OpenDest(QSaveFile& Dest)
{
    if (!Dest.open(QIODevice::WriteOnly))
        throw Exception(
            SafeFormat(QStringLiteral("cannot create \"%s\": %s"), {Dest.fileName(), Dest.errorString()}));
}

void Commit(QSaveFile& Dest)
{
    if (!Dest.commit())
        throw Exception(
            SafeFormat(QStringLiteral("cannot write \"%s\": %s"), {Dest.fileName(), Dest.errorString()}));
}

QString StepText(int Result)
{
    switch (Result) {
    case 128:
        return QStringLiteral("cancelled");
    case 260:
        return QStringLiteral("the source could not be read or changed its size");
    case 261:
    case 263:
        return QStringLiteral("the destination could not be written");
    default:
        return QStringLiteral("encryption failed");
    }
}

} // namespace

QByteArray ReadPasswordFile(const QString& Name)
{
    QFile f(Name);
    if (!f.open(QIODevice::ReadOnly))
        throw Exception(
            SafeFormat(QStringLiteral("cannot read the password file \"%s\": %s"), {Name, f.errorString()}));
    QByteArray pw = f.readAll();
    const qsizetype end = pw.indexOf('\n');
    if (end >= 0) pw.truncate(end > 0 && pw[end - 1] == '\r' ? end - 1 : end);
    return pw;
}

int RunEncryptCommand(const QStringList& Args, TToolStreams&)
{
    const TCryptArgs a = ParseArgs(Args);
    TSysFileDevice source;
    OpenSource(source, a.Source);
    Platform::TFileTimestamps times;
    std::int64_t seconds = 0, nanoseconds = 0;
    if (Platform::GetFileTimes(a.Source, times) == 0)
        Platform::FileTimeToUnix(times.LastWriteTime, seconds, nanoseconds);
    std::uint32_t attributes = 0;
    if (Platform::GetFileAttributes(a.Source, attributes) != 0) attributes = 0;

    QSaveFile dest(a.Dest);
    OpenDest(dest);
    TEncryption crypt(a.Password, a.KeyMode, BufSize);
    TContainerIo io;
    io.BufSize = BufSize;
    qint64 total = 0;
    const int result =
        WriteEncryptedContainer(crypt, source, source.size(), dest, seconds, attributes, io, total);
    if (result != 0)
        throw Exception(SafeFormat(QStringLiteral("\"%s\": %s (%d) %s"),
                                   {a.Source, StepText(result), result, io.SysErrorMsg}));
    Commit(dest);
    return ExitOk;
}

int RunDecryptCommand(const QStringList& Args, TToolStreams&)
{
    const TCryptArgs a = ParseArgs(Args);
    TSysFileDevice source;
    OpenSource(source, a.Source);
    const QByteArray first = source.read(ContainerHeaderSize);
    int headerSize = 0;
    const int keyMode = ContainerKeyMode(first, headerSize);
    source.seek(headerSize);

    TEncryption crypt(a.Password, keyMode != 0 ? keyMode : a.KeyMode, BufSize);
    QSaveFile dest(a.Dest);
    OpenDest(dest);
    const TOpResult r = crypt.DecryptStreamEx(source, &dest, source.size() - headerSize, false);
    if (r != orOk) {
        dest.cancelWriting(); // nothing of a failed decryption is kept
        throw Exception(SafeFormat(QStringLiteral("\"%s\": wrong password or damaged data"), {a.Source}));
    }
    Commit(dest);
    if (headerSize == ContainerHeaderSize) {
        // The container carries the source's last-write time.
        const quint32 seconds = qFromLittleEndian<quint32>(first.constData() + 4);
        Platform::TFileTimestamps times;
        times.LastWriteTime = Platform::FileTimeFromUnix(seconds, 0);
        Platform::SetFileTimes(a.Dest, times);
    }
    return ExitOk;
}
