#pragma once
// File times as the suite stores them: FILETIME, 100 ns ticks since 1601-01-01 UTC.

#include <QDateTime>
#include <cstdint>

namespace Platform {

using TFileTime = std::int64_t;

// Ticks between 1601-01-01 and 1970-01-01.
inline constexpr TFileTime UnixEpochAsFileTime = 116444736000000000LL;
inline constexpr TFileTime FileTimeTicksPerSecond = 10000000LL;

struct TFileTimestamps
{
    TFileTime CreationTime = 0; // 0: the file system does not keep it
    TFileTime LastAccessTime = 0;
    TFileTime LastWriteTime = 0;
};

TFileTime FileTimeFromUnix(std::int64_t Seconds, std::int64_t Nanoseconds);
void FileTimeToUnix(TFileTime Time, std::int64_t& Seconds, std::int64_t& Nanoseconds);
// Invalid QDateTime for times outside what QDateTime can hold.
QDateTime FileTimeToDateTime(TFileTime Time);
TFileTime DateTimeToFileTime(const QDateTime& Time);
// The current time as a FILETIME (UTC).
TFileTime CurrentFileTime();

} // namespace Platform
