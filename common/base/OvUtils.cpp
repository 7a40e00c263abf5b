#include "OvUtils.h"

#include "PathUtils.h"
#include "SafeFormat.h"
#include "Translate.h"

#include "platform/FileSystem.h"
#include "platform/FileTime.h"
#include "platform/ProcessInfo.h"
#include "platform/Shell.h"

#include <QLocale>

using namespace Platform;

namespace {

QString WithoutTrailingBlanks(const QString& Text)
{
    qsizetype end = Text.size();
    while (end > 0 && Text.at(end - 1) == QLatin1Char(' '))
        --end;
    return Text.left(end);
}

const char* const HelpFileName = N_("ove-help.chm");

} // namespace

bool ReadProgramInfo(TFileVersionInfo& Info)
{
    const TVersionValues v = ReadVersionValues();
    Info = {};
    if (!v.Present) return false;
    Info.Company = WithoutTrailingBlanks(v.CompanyName);
    Info.Description = WithoutTrailingBlanks(v.FileDescription);
    Info.Version = WithoutTrailingBlanks(v.FileVersion);
    Info.InternalName = WithoutTrailingBlanks(v.InternalName);
    Info.Copyright = WithoutTrailingBlanks(v.LegalCopyright);
    Info.Comments = WithoutTrailingBlanks(v.Comments);
    return true;
}

QString CutVersion(const QString& Version, int Parts)
{
    QString v = Version;
    while (v.count(QLatin1Char('.')) >= qMax(Parts, 1))
        v.truncate(v.lastIndexOf(QLatin1Char('.')));
    return v;
}

QString GetVersionText(int Parts)
{
    // The host keeps one set of version values, so there is no second number to fall back on.
    TFileVersionInfo info;
    ReadProgramInfo(info);
    const QString version = info.Version.isEmpty() ? QStringLiteral("0.0.0.0") : info.Version;
    return Tr("Version") + QLatin1Char(' ') + CutVersion(version, Parts);
}

void GetProgramInfo(const QString& Name, const QString& VersionText, int Parts, QString& ProgVersName,
                    QString& ProgVersDate)
{
    TFileVersionInfo info;
    if (ReadProgramInfo(info)) {
        const QString name = info.InternalName.isEmpty() ? Name : info.InternalName;
        ProgVersName = name + QStringLiteral(" (") + GetVersionText(Parts) + QLatin1Char(')');
    } else {
        ProgVersName = Name + QStringLiteral(" (") + VersionText + QLatin1Char(')');
    }
    TFileTimestamps times;
    ProgVersDate.clear();
    if (GetFileTimes(ExecutablePath(), times) == 0) {
        const QDateTime written = FileTimeToDateTime(times.LastWriteTime);
        if (written.isValid())
            ProgVersDate = QLocale().toString(written.toLocalTime().date(), QLocale::ShortFormat);
    }
}

QString BitnessText()
{
    return Is64BitProcess() ? QStringLiteral(" - 64-bit") : QStringLiteral(" - 32-bit");
}

QString Ordinal(int N)
{
    switch (N) {
    case 0:
        return Tr("no ");
    case 1:
        return Tr("1st ");
    case 2:
        return Tr("2nd ");
    case 3:
        return Tr("3rd ");
    default:
        break;
    }
    // English numbers from 21 on end like the first three again ("21st "), except 11 to 13 of each
    // hundred.
    const int tens = N % 100;
    if (N > 0 && (tens < 11 || tens > 13)) {
        switch (N % 10) {
        case 1:
            return SafeFormat(Tr("%dst "), {N});
        case 2:
            return SafeFormat(Tr("%dnd "), {N});
        case 3:
            return SafeFormat(Tr("%drd "), {N});
        default:
            break;
        }
    }
    return SafeFormat(Tr("%dth "), {N});
}

QString DefaultDriveTemplate(const QString& LanguageCode)
{
    return LanguageCode.compare(QLatin1String("de"), Qt::CaseInsensitive) == 0 ? QStringLiteral("Lw?")
                                                                               : QStringLiteral("Drv?");
}

QString GetHelpFile(const TProgramEnvironment& Env)
{
    const QString translated = JoinPath(Env.ProgramFolder, Tr(HelpFileName));
    return FileExists(translated) ? translated : JoinPath(Env.ProgramFolder, QLatin1String(HelpFileName));
}

bool ShowHelp(const QString& Topic, const TProgramEnvironment& Env)
{
    static_cast<void>(Topic);
    const QString file = GetHelpFile(Env);
    return FileExists(file) && OpenWithDesktop(file);
}

QString HelpNotAvailableText()
{
    return Tr("Help is not available on this system!");
}
