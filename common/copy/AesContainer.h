#pragma once
// The encrypted container a copy thread writes when an encryption object is attached and nothing is
// compressed: "XQE", a flag byte (bit 0: the 10-byte header form; bits 3 and 4: the key mode), the
// source's last-write time (seconds since 1970, UTC) and its attributes (low 16 bits), both
// little-endian; then the encrypted stream of AesLib.h over the source bytes.
// A reader also takes a 4-byte header (bit 0 clear) and a bare encrypted stream without header.

#include "AesLib.h"

#include <QString>

class TManualResetEvent;

inline constexpr int ContainerHeaderSize = 10;
inline constexpr int ContainerShortHeaderSize = 4;

// The 10-byte header; times outside the 32-bit range are clamped to it.
QByteArray ContainerHeader(int KeyMode, qint64 WriteTimeUnix, quint32 Attributes);
// The key mode a container header announces: 1 to 3, 0 when the first bytes are not a container
// header (or carry no key mode). HeaderSize: 10, 4, or 0 for a bare encrypted stream.
int ContainerKeyMode(const QByteArray& FirstBytes, int& HeaderSize);

// What the copy thread lends to the container steps.
struct TContainerIo
{
    TFileProgressEvent Report;         // the thread's own progress report
    TStatusEvent UserBreak;            // true once the user cancelled
    TManualResetEvent* Gate = nullptr; // the pause gate, waited on before every block
    qint64 BufSize = 262144;
    QString SysErrorMsg; // set with the text of a failure
};

// Writes the container of Source (SourceSize bytes) to Dest. UTotal: the bytes read from Source.
// Returns 0 or a step result: 128 cancelled, 260 read failed or the size changed, 261 header not
// written, 263 disk full, 266 encryption or writing failed.
int WriteEncryptedContainer(TEncryption& Crypting, QIODevice& Source, qint64 SourceSize, QIODevice& Dest,
                            qint64 WriteTimeUnix, quint32 Attributes, TContainerIo& Io, qint64& UTotal);

// Checks the container in Dest (open, at its start) without writing anything: password verifier and
// authentication code. Returns 0 or a step result: 4 header unreadable, 128 cancelled, 268 failed.
// A key mode found in the header is set on Crypting; a bare stream uses Crypting's own.
int VerifyEncryptedContainer(TEncryption& Crypting, QIODevice& Dest, qint64 UTotal, TContainerIo& Io);
