#pragma once
// The user's folders as the desktop defines them (XDG on this host).

#include <QString>

namespace Platform {

enum class TKnownFolder
{
    RoamingAppData, // settings that travel with the user: $XDG_CONFIG_HOME
    LocalAppData,   // data of this machine: $XDG_DATA_HOME
    Documents,
    Desktop,
    Startup,      // programs started at logon: the XDG autostart folder
    ProgramFiles, // where programs are installed
    CommonProgramFiles,
    Profile,       // the user's home folder
    Favorites,     // no such folder on this host: the home folder's "Favorites"
    Public,        // files shared with other users: the XDG public-share folder
    CommonAppData, // data of every user of the machine: the first folder of $XDG_DATA_DIRS
};

// The folder without a trailing delimiter; empty when the host has none.
QString KnownFolderPath(TKnownFolder Folder);
// The value of an environment variable; empty when it is not set.
QString EnvironmentVariable(const QString& Name);
// The user's folder for temporary files.
QString TempFolder();
// The user's home folder.
QString HomeFolder();

} // namespace Platform
