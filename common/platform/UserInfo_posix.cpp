#include "UserInfo.h"

#include "KnownFolders.h"

#include <QByteArray>
#include <QFile>

#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace Platform {

QString UserName()
{
    std::vector<char> buf(16384);
    passwd pw{};
    passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &pw, buf.data(), buf.size(), &found) == 0 && found && found->pw_name)
        return QFile::decodeName(found->pw_name);
    return EnvironmentVariable(QStringLiteral("USER"));
}

QString ComputerName()
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return QString();
    const QString host = QFile::decodeName(name);
    return host.section(QLatin1Char('.'), 0, 0);
}

} // namespace Platform
