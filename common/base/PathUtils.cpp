#include "PathUtils.h"

#include "platform/KnownFolders.h"
#include "platform/PathRules.h"

using Platform::IsPathDelimiter;
using Platform::PathDelimiter;

namespace {

qsizetype LastDelimiter(const QString& Name)
{
    for (qsizetype i = Name.size() - 1; i >= 0; --i)
        if (IsPathDelimiter(Name.at(i))) return i;
    return -1;
}

} // namespace

QString IncludeTrailingPathDelimiter(const QString& Path)
{
    if (!Path.isEmpty() && IsPathDelimiter(Path.back())) return Path;
    return Path + PathDelimiter();
}

QString ExcludeTrailingPathDelimiter(const QString& Path)
{
    if (Path.size() > 1 && IsPathDelimiter(Path.back())) return Path.left(Path.size() - 1);
    return Path;
}

QString ExtractFilePath(const QString& FileName)
{
    return FileName.left(LastDelimiter(FileName) + 1);
}

QString ExtractFileName(const QString& FileName)
{
    return FileName.mid(LastDelimiter(FileName) + 1);
}

QString ExtractFileExt(const QString& FileName)
{
    const qsizetype dot = FileName.lastIndexOf(QLatin1Char('.'));
    return dot > LastDelimiter(FileName) ? FileName.mid(dot) : QString();
}

QString ChangeFileExt(const QString& FileName, const QString& Ext)
{
    const qsizetype dot = FileName.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > LastDelimiter(FileName) ? FileName.left(dot) : FileName;
    return stem + Ext;
}

QString JoinPath(const QString& Folder, const QString& Name)
{
    if (Folder.isEmpty()) return Name;
    qsizetype skip = 0;
    while (skip < Name.size() && IsPathDelimiter(Name.at(skip)))
        ++skip;
    return IncludeTrailingPathDelimiter(Folder) + Name.mid(skip);
}

QString ExpandEnvironmentVariables(const QString& Text)
{
    QString out;
    qsizetype i = 0;
    while (i < Text.size()) {
        const qsizetype open = Text.indexOf(QLatin1Char('%'), i);
        if (open < 0) break;
        const qsizetype close = Text.indexOf(QLatin1Char('%'), open + 1);
        if (close < 0) break;
        const QString name = Text.mid(open + 1, close - open - 1);
        const QString value = name.isEmpty() ? QString() : Platform::EnvironmentVariable(name);
        out += Text.mid(i, open - i);
        if (value.isEmpty() && !qEnvironmentVariableIsSet(name.toLocal8Bit().constData())) {
            out += Text.mid(open, close - open); // not a variable: keep the first "%" and go on
            i = close;
            continue;
        }
        out += value;
        i = close + 1;
    }
    out += Text.mid(i);
    return out;
}
