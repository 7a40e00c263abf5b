#include "KnownFolders.h"

#include <QDir>
#include <QStandardPaths>

namespace Platform {

namespace {

QString XdgBase(const char* Variable, const char* Fallback)
{
    const QString value = EnvironmentVariable(QString::fromLatin1(Variable));
    // The XDG rules ignore relative values.
    if (!value.isEmpty() && QDir::isAbsolutePath(value)) return QDir::cleanPath(value);
    const QString home = HomeFolder();
    return home.isEmpty() ? QString() : home + QLatin1Char('/') + QLatin1String(Fallback);
}

} // namespace

QString KnownFolderPath(TKnownFolder Folder)
{
    switch (Folder) {
    case TKnownFolder::RoamingAppData:
        return XdgBase("XDG_CONFIG_HOME", ".config");
    case TKnownFolder::LocalAppData:
        return XdgBase("XDG_DATA_HOME", ".local/share");
    case TKnownFolder::Documents:
        return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    case TKnownFolder::Desktop:
        return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    case TKnownFolder::Startup: {
        const QString config = XdgBase("XDG_CONFIG_HOME", ".config");
        return config.isEmpty() ? QString() : config + QStringLiteral("/autostart");
    }
    case TKnownFolder::ProgramFiles:
        return QStringLiteral("/usr/bin");
    case TKnownFolder::CommonProgramFiles:
        return QStringLiteral("/usr/lib");
    case TKnownFolder::Profile:
        return HomeFolder();
    case TKnownFolder::Favorites: {
        const QString home = HomeFolder();
        return home.isEmpty() ? QString() : home + QStringLiteral("/Favorites");
    }
    case TKnownFolder::Public:
        return QStandardPaths::writableLocation(QStandardPaths::PublicShareLocation);
    case TKnownFolder::CommonAppData: {
        const QString dirs = EnvironmentVariable(QStringLiteral("XDG_DATA_DIRS"));
        for (const QString& d : dirs.split(QLatin1Char(':'), Qt::SkipEmptyParts))
            if (QDir::isAbsolutePath(d)) return QDir::cleanPath(d);
        return QStringLiteral("/usr/local/share");
    }
    }
    return {};
}

QString EnvironmentVariable(const QString& Name)
{
    return qEnvironmentVariable(Name.toLocal8Bit().constData());
}

QString TempFolder()
{
    return QDir::cleanPath(QDir::tempPath());
}

QString HomeFolder()
{
    const QString home = EnvironmentVariable(QStringLiteral("HOME"));
    return home.isEmpty() ? QDir::homePath() : QDir::cleanPath(home);
}

} // namespace Platform
