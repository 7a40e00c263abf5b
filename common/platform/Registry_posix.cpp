#include "Registry.h"

#include "KnownFolders.h"

namespace Platform {

QString RegistryFile(TRegistryRoot Root)
{
    if (Root == TRegistryRoot::CurrentUser) {
        const QString overridden = EnvironmentVariable(QStringLiteral("OV_REGISTRY_USER"));
        if (!overridden.isEmpty()) return overridden;
        const QString config = KnownFolderPath(TKnownFolder::RoamingAppData);
        return config.isEmpty() ? QString() : config + QStringLiteral("/Orvanta6/registry.ini");
    }
    const QString overridden = EnvironmentVariable(QStringLiteral("OV_REGISTRY_MACHINE"));
    return overridden.isEmpty() ? QStringLiteral("/etc/Orvanta6/registry.ini") : overridden;
}

} // namespace Platform
