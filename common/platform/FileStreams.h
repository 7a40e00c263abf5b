#pragma once
// Named side streams of a file (alternate data streams) and its access control list. Every
// function reports failure as a system error code (SysErrors.h) and never throws.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace Platform {

// The names of the file's side streams, without the ":" quotes and the stream type.
int ListAltStreams(const QString& Path, QStringList& Names);
int ReadAltStream(const QString& Path, const QString& Name, QByteArray& Data);
// Creates or replaces the side stream Name of the file.
int WriteAltStream(const QString& Path, const QString& Name, const QByteArray& Data);

// Gives To the access control list of From (only the access part, not owner or group).
int CopyAccessControl(const QString& From, const QString& To);

} // namespace Platform
