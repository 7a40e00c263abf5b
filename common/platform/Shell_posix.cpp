#include "Shell.h"

#include <QProcess>
#include <QStandardPaths>

namespace Platform {

bool OpenWithDesktop(const QString& Path)
{
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    return !opener.isEmpty() && QProcess::startDetached(opener, {Path});
}

} // namespace Platform
