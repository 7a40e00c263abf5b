#pragma once
// The running program: its executable, its bitness and the version values built into it.

#include <QString>

namespace Platform {

// Full path of the running executable.
QString ExecutablePath();
// The folder of the running executable, with a trailing delimiter.
QString ExecutableFolder();
// The executable's file name without folder and extension ("OvSentry").
QString ExecutableName();
// What the host appends to the names of executables ("" here, ".exe" on Windows).
QString ExecutableSuffix();
bool Is64BitProcess();

// The version values of the executable; Present is false when it carries none.
struct TVersionValues
{
    bool Present = false;
    QString CompanyName;
    QString FileDescription;
    QString FileVersion; // four dot-separated numbers
    QString InternalName;
    QString LegalCopyright;
    QString Comments;
};

TVersionValues ReadVersionValues();

} // namespace Platform
