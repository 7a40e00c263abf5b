#pragma once
// Whole archives built from the format builders around data that zlib deflates, so that the
// headers can be checked by the tools of other people before any copy thread writes them.

#include <QByteArray>
#include <QString>

QByteArray RawDeflate(const QByteArray& Data, int Level = -1);
quint32 Crc32(const QByteArray& Data);
// Sample content that compresses, but not to nothing.
QByteArray SampleData(qsizetype Size);

// A gzip file of Data as the suite writes it, unencrypted.
QByteArray AssembleGZip(const QString& Name, const QByteArray& Data, qint64 LastWriteTime);
// A one-file zip archive of Data as the suite writes it, unencrypted.
QByteArray AssembleZip(const QString& Name, const QByteArray& Data, bool Deflate, qint64 LastWriteTime,
                       quint16 Attributes = 0x20);

// The script with an independent implementation of the WinZip-AES stream, on Python's cryptography.
QString ReferenceScript();
