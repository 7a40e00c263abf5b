#include "ProcessInfo.h"

#include <QFile>
#include <QFileInfo>

#include <climits>
#include <unistd.h>

namespace Platform {

QString ExecutablePath()
{
    char buf[PATH_MAX + 1];
    const ssize_t n = ::readlink("/proc/self/exe", buf, PATH_MAX);
    if (n <= 0) return {};
    return QFile::decodeName(QByteArray(buf, static_cast<qsizetype>(n)));
}

QString ExecutableFolder()
{
    const QString path = ExecutablePath();
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : path.left(slash + 1);
}

QString ExecutableName()
{
    return QFileInfo(ExecutablePath()).completeBaseName();
}

QString ExecutableSuffix()
{
    return {};
}

bool Is64BitProcess()
{
    return sizeof(void*) == 8;
}

TVersionValues ReadVersionValues()
{
    TVersionValues v;
    v.Present = true;
    v.CompanyName = QStringLiteral(OV_COMPANY_NAME);
    v.FileDescription = QStringLiteral(OV_DESCRIPTION);
    v.FileVersion = QStringLiteral(OV_FILE_VERSION);
    v.InternalName = ExecutableName();
    v.LegalCopyright = QStringLiteral(OV_COPYRIGHT);
    return v;
}

} // namespace Platform
