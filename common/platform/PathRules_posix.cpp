#include "PathRules.h"

namespace Platform {

QChar PathDelimiter()
{
    return QLatin1Char('/');
}

bool IsPathDelimiter(QChar C)
{
    return C == QLatin1Char('/');
}

bool IsAbsolutePath(const QString& Path)
{
    return Path.startsWith(QLatin1Char('/'));
}

bool SameFileName(const QString& A, const QString& B)
{
    return A == B;
}

} // namespace Platform
