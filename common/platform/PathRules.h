#pragma once
// How this host writes paths.

#include <QChar>
#include <QString>

namespace Platform {

QChar PathDelimiter();
bool IsPathDelimiter(QChar C);
// A path that does not depend on the current folder.
bool IsAbsolutePath(const QString& Path);
// Names of files are compared the way the host's file systems usually do (case matters here).
bool SameFileName(const QString& A, const QString& B);

} // namespace Platform
