#include "InitProg.h"

#include "FileUtils.h"
#include "MemIniFile.h"
#include "PathUtils.h"

#include "platform/FileSystem.h"
#include "platform/KnownFolders.h"
#include "platform/ProcessInfo.h"
#include "platform/Registry.h"

using namespace Platform;

namespace {

// "" stays "": a missing folder must not turn into the root folder.
QString WithDelimiter(const QString& Folder)
{
    return Folder.isEmpty() ? QString() : IncludeTrailingPathDelimiter(Folder);
}

QString ReadRegistry(TRegistryRoot Root, const char* Value)
{
    const QString file = RegistryFile(Root);
    if (file.isEmpty()) return {};
    return TMemIniFile(file).ReadString(QLatin1String(SuiteRegistryKey), QLatin1String(Value), QString());
}

// A copy of Source to Dest; a settings file that cannot be brought over is left behind.
void CopyIgnoringErrors(const QString& Source, const QString& Dest)
{
    try {
        CopyFileWithAttributes(Source, Dest, -1, DefaultCopyBlockSize);
    } catch (const Exception&) {
    }
}

} // namespace

TProgramEnvironment TProgramEnvironment::Current()
{
    return {ExecutableFolder(), ExecutableName(), KnownFolderPath(TKnownFolder::RoamingAppData),
            CurrentDirectory()};
}

void GetUserFolders(QString& AppPath, QString& UserPath)
{
    const QString roaming = KnownFolderPath(TKnownFolder::RoamingAppData);
    AppPath = roaming.isEmpty() ? ExecutableFolder() : JoinPath(roaming, QStringLiteral("Orvanta6/"));
    UserPath = WithDelimiter(KnownFolderPath(TKnownFolder::Documents));
}

void GetUserFolders(QString& AppPath, QString& UserPath, QString& ProgPath)
{
    GetUserFolders(AppPath, UserPath);
    ProgPath = GetProgramFolder(TProgramFolder::pfProgramFiles);
}

QString GetProgramFolder(TProgramFolder Folder)
{
    const char* variable = nullptr;
    TKnownFolder known = TKnownFolder::ProgramFiles;
    switch (Folder) {
    case TProgramFolder::pfProgramFiles:
        break;
    case TProgramFolder::pfCommonFiles:
        known = TKnownFolder::CommonProgramFiles;
        break;
    case TProgramFolder::pfProgramFilesX86:
        variable = "ProgramFiles(x86)";
        break;
    case TProgramFolder::pfCommonFilesX86:
        variable = "CommonProgramFiles(x86)";
        known = TKnownFolder::CommonProgramFiles;
        break;
    case TProgramFolder::pfProgramFiles64:
        variable = "ProgramW6432";
        break;
    case TProgramFolder::pfCommonFiles64:
        variable = "CommonProgramW6432";
        known = TKnownFolder::CommonProgramFiles;
        break;
    }
    const QString fromEnv = variable ? EnvironmentVariable(QLatin1String(variable)) : QString();
    return WithDelimiter(fromEnv.isEmpty() ? KnownFolderPath(known) : fromEnv);
}

QString GetIniPath(const QString& Default)
{
    const QString value = ReadRegistry(TRegistryRoot::CurrentUser, "IniPath");
    return value.isEmpty() ? Default : IncludeTrailingPathDelimiter(value);
}

QString GetSettingsFolder(const QString& AppPath)
{
    const QString folder = GetIniPath(AppPath);
    if (DirectoryExists(folder) || ForceDirectories(ExcludeTrailingPathDelimiter(folder)) == 0) return folder;
    return AppPath;
}

bool TakeOverSettings(const QString& AppPath, const QString& FileName)
{
    const QString inAppPath = JoinPath(AppPath, ExtractFileName(FileName));
    if (SameFile(inAppPath, FileName)) return true;
    if (FileExists(FileName) || !FileExists(inAppPath)) return false;
    CopyIgnoringErrors(inAppPath, FileName);
    return true;
}

void TakeOverOldSettings(const QString& Folder, const QString& FileName)
{
    const QString old = JoinPath(JoinPath(Folder, QStringLiteral("Orvanta5")), ExtractFileName(FileName));
    if (!FileExists(FileName) && FileExists(old)) CopyIgnoringErrors(old, FileName);
}

QString MainProgramName()
{
    return QStringLiteral("Orvanta") + ExecutableSuffix();
}

QString FindMainProgram(const TProgramEnvironment& Env)
{
    const QString name = MainProgramName();
    for (const QString& folder : {Env.CurrentFolder, Env.ProgramFolder}) {
        if (folder.isEmpty()) continue;
        const QString candidate = JoinPath(folder, name);
        if (FileExists(candidate)) return candidate;
    }
    // The host has one registry view; the Windows suite's second view has no counterpart here.
    const QString installed = ReadRegistry(TRegistryRoot::LocalMachine, "Program");
    return !installed.isEmpty() && FileExists(installed) ? installed : QString();
}
