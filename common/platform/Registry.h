#pragma once
// The registry of the Windows suite is kept in ini files here: one file per root, each key path
// ("Software\Orvanta6") a section, each value an entry. This layer only says where the files are;
// reading them is the settings-file code's job.

#include <QString>

namespace Platform {

enum class TRegistryRoot
{
    CurrentUser,  // $XDG_CONFIG_HOME/Orvanta6/registry.ini, or $OV_REGISTRY_USER
    LocalMachine, // /etc/Orvanta6/registry.ini, or $OV_REGISTRY_MACHINE
};

QString RegistryFile(TRegistryRoot Root);

} // namespace Platform
