#pragma once
// The single-byte code page of files shared with the Windows suite: Windows-1252, the system
// code page those files were written in.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// Decodes Windows-1252 bytes. The five bytes it leaves undefined stand for the C1 controls of the
// same number, as Windows converts them.
QString FromAnsi(QByteArrayView Bytes);
// Encodes Text; false when a character has no Windows-1252 byte (Bytes is then undefined).
bool ToAnsi(QStringView Text, QByteArray& Bytes);
