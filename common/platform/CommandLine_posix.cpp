#include "CommandLine.h"

namespace Platform {

bool SplitOptionPrefix(const QString& Arg, QString& Word)
{
    if (!Arg.startsWith(QLatin1Char('-'))) return false;
    Word = Arg.mid(Arg.startsWith(QLatin1String("--")) ? 2 : 1);
    return true;
}

QString OptionPrefix()
{
    return QStringLiteral("-");
}

} // namespace Platform
