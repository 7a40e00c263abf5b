#include "AesContainer.h"

#include "DeviceIo.h"

#include "ManualResetEvent.h"
#include "SysFileDevice.h"

#include "platform/SysErrors.h"

#include <QtEndian>

#include <algorithm>

namespace {

constexpr quint32 ContainerMagic = 0x42455158; // "XQEB" read as a little-endian number
constexpr quint32 ContainerMagicMask = 0xE6FFFFFF;

constexpr int ResHeaderUnreadable = 4;
constexpr int ResUserBreak = 128;
constexpr int ResRead = 260;
constexpr int ResWrite = 261;
constexpr int ResDiskFull = 263;
constexpr int ResEncrypt = 266;
constexpr int ResVerify = 268;

bool IsDiskFull(const QIODevice& Dest)
{
    const auto* file = dynamic_cast<const TSysFileDevice*>(&Dest);
    return file && file->SysError() == Platform::ErrDiskFull;
}

void Report(const TContainerIo& Io, TFileAction Action, qint64 Count, bool SpeedLimit)
{
    if (Io.Report) Io.Report(Action, Count, SpeedLimit);
}

} // namespace

QByteArray ContainerHeader(int KeyMode, qint64 WriteTimeUnix, quint32 Attributes)
{
    QByteArray h(ContainerHeaderSize, '\0');
    h[0] = 'X';
    h[1] = 'Q';
    h[2] = 'E';
    h[3] = char(0x43 + 8 * (KeyMode & 3));
    const quint32 time = quint32(std::clamp<qint64>(WriteTimeUnix, 0, 0xFFFFFFFF));
    qToLittleEndian<quint32>(time, h.data() + 4);
    qToLittleEndian<quint16>(quint16(Attributes), h.data() + 8);
    return h;
}

int ContainerKeyMode(const QByteArray& FirstBytes, int& HeaderSize)
{
    HeaderSize = 0;
    if (FirstBytes.size() < ContainerShortHeaderSize) return 0;
    const quint32 magic = qFromLittleEndian<quint32>(FirstBytes.constData());
    if ((magic & ContainerMagicMask) != ContainerMagic) return 0;
    const int flags = quint8(FirstBytes[3]);
    HeaderSize = (flags & 1) ? ContainerHeaderSize : ContainerShortHeaderSize;
    return (flags >> 3) & 3;
}

int WriteEncryptedContainer(TEncryption& Crypting, QIODevice& Source, qint64 SourceSize, QIODevice& Dest,
                            qint64 WriteTimeUnix, quint32 Attributes, TContainerIo& Io, qint64& UTotal)
{
    Report(Io, acEncrypt, -SourceSize, false);
    const QByteArray header = ContainerHeader(Crypting.KeyMode(), WriteTimeUnix, Attributes);
    if (Dest.write(header) != header.size()) {
        Io.SysErrorMsg = Dest.errorString();
        return ResWrite;
    }
    if (!Crypting.WriteHeader(Dest)) {
        Io.SysErrorMsg = Dest.errorString();
        return ResEncrypt;
    }
    QByteArray buffer(std::max<qint64>(Io.BufSize, 1), '\0');
    qint64 n = 0;
    do {
        if (Io.Gate) Io.Gate->Wait();
        n = ReadFull(Source, buffer.data(), buffer.size());
        if (n < 0) {
            Io.SysErrorMsg = Source.errorString();
            return ResRead;
        }
        UTotal += n;
        Report(Io, acEncrypt, UTotal, true);
        try {
            Crypting.EncryptBlock(buffer.data(), n);
        } catch (const std::exception& e) {
            Io.SysErrorMsg = QString::fromUtf8(e.what());
            return ResEncrypt;
        }
        if (n > 0 && Dest.write(buffer.constData(), n) != n) {
            Io.SysErrorMsg = Dest.errorString();
            return IsDiskFull(Dest) ? ResDiskFull : ResEncrypt;
        }
        if (Io.UserBreak && Io.UserBreak()) return ResUserBreak;
    } while (n == buffer.size());
    if (!Crypting.WriteTrailer(Dest)) {
        Io.SysErrorMsg = Dest.errorString();
        return IsDiskFull(Dest) ? ResDiskFull : ResEncrypt;
    }
    return SourceSize == UTotal ? 0 : ResRead;
}

int VerifyEncryptedContainer(TEncryption& Crypting, QIODevice& Dest, qint64 UTotal, TContainerIo& Io)
{
    Report(Io, acVerify, -UTotal, false);
    const qint64 start = Dest.pos();
    QByteArray first(ContainerShortHeaderSize, '\0');
    if (ReadFull(Dest, first.data(), first.size()) != first.size()) {
        Io.SysErrorMsg = Dest.errorString();
        return ResHeaderUnreadable;
    }
    int headerSize = 0;
    const int keyMode = ContainerKeyMode(first, headerSize);
    if (headerSize != ContainerShortHeaderSize) {
        // The long form is read whole; a bare stream starts at the very beginning.
        QByteArray header(headerSize, '\0');
        if (!Dest.seek(start) || ReadFull(Dest, header.data(), headerSize) != headerSize) {
            Io.SysErrorMsg = Dest.errorString();
            return ResHeaderUnreadable;
        }
    }
    if (keyMode != 0) Crypting.SetKeyMode(keyMode);
    switch (Crypting.DecryptStreamEx(Dest, nullptr, Dest.size() - Dest.pos(), true, Io.UserBreak)) {
    case orOk:
        return 0;
    case orUserBreak:
        return ResUserBreak;
    case orError:
        break;
    }
    return ResVerify;
}
