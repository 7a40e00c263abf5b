#pragma once
// Where the suite's things live: the per-user folders, the folder of the programs' settings files
// with its registry override, the take-over of settings files from earlier locations, and the main
// backup program.

#include <QString>

// The registry key of the suite, as a section of the registry files.
inline constexpr char SuiteRegistryKey[] = "Software\\Orvanta6";

// What the start-up helpers take from the running process and the user's desktop. The helpers take
// one of these so that tests can describe a program somewhere else.
struct TProgramEnvironment
{
    QString ProgramFolder; // the executable's folder, with a trailing delimiter
    QString ProgramName;   // the executable's name without folder and extension ("OvSentry")
    QString RoamingFolder; // the user's roaming application-data folder, without a trailing delimiter
    QString CurrentFolder;

    static TProgramEnvironment Current();
};

// AppPath: the roaming application-data folder + "Orvanta6/" (the program folder when the desktop has
// none); UserPath: the documents folder; ProgPath: the folder of installed programs. Each with a
// trailing delimiter; nothing is created.
void GetUserFolders(QString& AppPath, QString& UserPath);
void GetUserFolders(QString& AppPath, QString& UserPath, QString& ProgPath);

enum class TProgramFolder
{
    pfProgramFiles,
    pfCommonFiles,
    pfProgramFilesX86, // $ProgramFiles(x86) first
    pfCommonFilesX86,  // $CommonProgramFiles(x86) first
    pfProgramFiles64,  // $ProgramW6432 first
    pfCommonFiles64,   // $CommonProgramW6432 first
};

// A program folder with a trailing delimiter; the 32- and 64-bit ones come from their environment
// variable when it is set, else from the host's program folders.
QString GetProgramFolder(TProgramFolder Folder);

// The "IniPath" value of the user's registry (with a trailing delimiter), or Default when it is
// missing or empty.
QString GetIniPath(const QString& Default);
// The folder of the program's settings file: GetIniPath(AppPath), created when missing; AppPath
// when it cannot be created.
QString GetSettingsFolder(const QString& AppPath);

// Brings FileName over from AppPath when it does not exist yet there and AppPath has one (copy
// errors are ignored). True when FileName is the one in AppPath itself or a copy was attempted.
bool TakeOverSettings(const QString& AppPath, const QString& FileName);
// Brings FileName over from Folder + "Orvanta5/" when it does not exist yet (errors are ignored).
void TakeOverOldSettings(const QString& Folder, const QString& FileName);

// The main backup program's file name on this host.
QString MainProgramName();
// The main backup program: in the current folder, the program folder, or where the machine's
// registry value "Program" says; empty when none of them exists.
QString FindMainProgram(const TProgramEnvironment& Env = TProgramEnvironment::Current());
