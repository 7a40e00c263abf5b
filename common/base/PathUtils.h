#pragma once
// Pure helpers for file and folder names, with the host's delimiter.

#include <QString>

QString IncludeTrailingPathDelimiter(const QString& Path);
QString ExcludeTrailingPathDelimiter(const QString& Path);
// The folder part of a name, with its trailing delimiter ("" when there is none).
QString ExtractFilePath(const QString& FileName);
// The name without its folder.
QString ExtractFileName(const QString& FileName);
// The extension with its dot ("" when the name has none).
QString ExtractFileExt(const QString& FileName);
// Replaces (or adds, or with "" removes) the extension; Ext includes the dot.
QString ChangeFileExt(const QString& FileName, const QString& Ext);
// Joins a folder and a name with exactly one delimiter between them.
QString JoinPath(const QString& Folder, const QString& Name);
// Replaces each %NAME% by the value of the environment variable NAME; unknown names stay as
// they are.
QString ExpandEnvironmentVariables(const QString& Text);
