#pragma once
// The description of one source file, the extended-length path rule and the time-stamp rule.

#include "InputStream.h"

#include "platform/FileSystem.h"

#include <QString>
#include <cstdint>
#include <memory>

struct TFileTimestamps
{
    bool Valid = false;
    Platform::TFileTime CreationTime = 0;
    Platform::TFileTime LastAccessTime = 0;
    Platform::TFileTime LastWriteTime = 0;
};

struct TFileStreamData
{
    std::shared_ptr<IInputStream> FileStream; // none for disk files
    std::uint32_t BufferSize = 0;             // the transfer block size the source proposes
};

struct TFileData
{
    QString FileName; // without folder
    QString FullPath; // for a device object, the device path
    TFileStreamData StreamData;
    qint64 FileSize = 0;
    std::uint32_t FileAttr = Platform::faArchive;
    TFileTimestamps TimeStamps;

    void Reset() { *this = TFileData(); }
};

// Fills Data for the file Path (a link is described by its target); false when it is not there.
bool GetFileData(const QString& Path, TFileData& Data);

// The form in which a path is handed to the file system: "\\?\" before drive paths of 248
// characters or more, "\\?\UNC\" before network paths. Paths of this host pass unchanged.
QString ExtendedLengthPath(const QString& Path);

// Sets the time stamps of a file: the last-write time, and with CreationTime the other times too.
// Times that are not valid become the current time, and with CheckTime so does a time more than a
// day in the future. The result is 0 or a system error code.
int SetFileTimestamps(const QString& Path, const TFileTimestamps& Times, bool CheckTime, bool CreationTime);
