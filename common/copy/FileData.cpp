#include "FileData.h"

#include "platform/FileTime.h"

using Platform::faSymLink;
using Platform::TFileTime;

bool GetFileData(const QString& Path, TFileData& Data)
{
    Data.Reset();
    Data.FileName = Path.mid(Path.lastIndexOf(QLatin1Char('/')) + 1);
    Platform::TFindData entry;
    if (Platform::FindEntry(Path, entry) != 0) return false;
    Data.FileSize = entry.Size;
    Data.FileAttr = entry.Attributes;
    Data.TimeStamps = {true, entry.Times.CreationTime, entry.Times.LastAccessTime, entry.Times.LastWriteTime};
    if (entry.Attributes & faSymLink) {
        // The copy reads the target, so the description is the target's (when there is one).
        Platform::TFileTimestamps times;
        std::uint32_t attr = 0;
        if (Platform::GetFileAttributes(Path, attr) == 0) Data.FileAttr = attr;
        if (Platform::GetFileTimes(Path, times) == 0)
            Data.TimeStamps = {true, times.CreationTime, times.LastAccessTime, times.LastWriteTime};
    }
    return true;
}

QString ExtendedLengthPath(const QString& Path)
{
    if (Path.startsWith(QLatin1String("\\\\"))) {
        if (Path.mid(2, 2) == QLatin1String("?\\")) return Path;
        return QStringLiteral("\\\\?\\UNC\\") + Path.mid(2);
    }
    if (Path.size() >= 2 && Path[1] != QLatin1Char(':')) return Path;
    if (Path.size() >= 248) return QStringLiteral("\\\\?\\") + Path;
    return Path;
}

int SetFileTimestamps(const QString& Path, const TFileTimestamps& Times, bool CheckTime, bool CreationTime)
{
    // The current time in UTC, like every FILETIME, so a check compares like with like.
    const TFileTime now = Platform::CurrentFileTime();
    const TFileTime latest = now + 24LL * 3600 * Platform::FileTimeTicksPerSecond;
    TFileTimestamps t = Times;
    if (!t.Valid) {
        t.CreationTime = t.LastAccessTime = t.LastWriteTime = now;
    } else if (CheckTime) {
        for (TFileTime* time : {&t.CreationTime, &t.LastAccessTime, &t.LastWriteTime})
            if (*time < 0 || !Platform::FileTimeToDateTime(*time).isValid() || *time > latest) *time = now;
    }
    // This host keeps no settable creation time; access and write time are set.
    Platform::TFileTimestamps set;
    set.LastWriteTime = t.LastWriteTime;
    if (CreationTime) set.LastAccessTime = t.LastAccessTime;
    return Platform::SetFileTimes(Path, set);
}
