#include "FileTime.h"

namespace Platform {

TFileTime FileTimeFromUnix(std::int64_t Seconds, std::int64_t Nanoseconds)
{
    return UnixEpochAsFileTime + Seconds * FileTimeTicksPerSecond + Nanoseconds / 100;
}

void FileTimeToUnix(TFileTime Time, std::int64_t& Seconds, std::int64_t& Nanoseconds)
{
    const TFileTime sinceEpoch = Time - UnixEpochAsFileTime;
    Seconds = sinceEpoch / FileTimeTicksPerSecond;
    TFileTime rest = sinceEpoch % FileTimeTicksPerSecond;
    if (rest < 0) { // times before 1970 round towards minus infinity
        rest += FileTimeTicksPerSecond;
        --Seconds;
    }
    Nanoseconds = rest * 100;
}

QDateTime FileTimeToDateTime(TFileTime Time)
{
    // QDateTime's range is far wider than FILETIME's; only the millisecond count can overflow.
    const TFileTime sinceEpochMs = (Time - UnixEpochAsFileTime) / 10000;
    return QDateTime::fromMSecsSinceEpoch(sinceEpochMs, Qt::UTC);
}

TFileTime DateTimeToFileTime(const QDateTime& Time)
{
    return UnixEpochAsFileTime + Time.toMSecsSinceEpoch() * 10000;
}

TFileTime CurrentFileTime()
{
    const std::int64_t ms = QDateTime::currentMSecsSinceEpoch();
    return UnixEpochAsFileTime + ms * 10000;
}

} // namespace Platform
