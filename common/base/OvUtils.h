#pragma once
// The program's name and version texts, ordinals for numbering items in texts, the default drive
// template and the suite's help file.

#include "InitProg.h"
#include "LangUtils.h"

#include <QString>

// The version values of the running program.
struct TFileVersionInfo
{
    QString Company;
    QString Description;
    QString Version; // four dot-separated numbers
    QString InternalName;
    QString Copyright;
    QString Comments;
};

// False when the executable carries no version values (Info is then empty).
bool ReadProgramInfo(TFileVersionInfo& Info);

// Version cut to at most Parts dot-separated parts ("1.2.8.123", 3: "1.2.8"); the first part stays.
QString CutVersion(const QString& Version, int Parts);
// "Version" (translated), a blank and the program's version cut to Parts parts ("0.0.0.0" without one).
QString GetVersionText(int Parts);
// ProgVersName: the program's internal name (Name when it has none) + " (" + GetVersionText(Parts) +
// ")"; without version values Name + " (" + VersionText + ")". ProgVersDate: the executable's
// last-modification date as the locale's short date.
void GetProgramInfo(const QString& Name, const QString& VersionText, int Parts, QString& ProgVersName,
                    QString& ProgVersDate);

// " - 64-bit" or " - 32-bit": the bitness of the running program.
QString BitnessText();

// "no ", "1st ", "2nd ", "3rd ", "4th ", ... (translated), to number items in texts.
QString Ordinal(int N);

// The default template of drive directories: "Lw?" for German, else "Drv?".
QString DefaultDriveTemplate(const QString& LanguageCode = GetLanguageCode());

// The suite's help file in the program folder: its translated name when that file exists, else
// "ove-help.chm".
QString GetHelpFile(const TProgramEnvironment& Env = TProgramEnvironment::Current());
// Opens the help file with the desktop's handler. The topic cannot be addressed inside the file by
// the handlers of this host; the file opens at its start. False when the file is missing or no handler
// could be started: the caller then shows HelpNotAvailableText().
bool ShowHelp(const QString& Topic = QString(),
              const TProgramEnvironment& Env = TProgramEnvironment::Current());
QString HelpNotAvailableText();
