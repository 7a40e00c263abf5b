#pragma once
// Files, attributes, time stamps and directory entries of the host. Every function reports
// failure as a system error code (SysErrors.h) and never throws.

#include "FileTime.h"

#include <QList>
#include <QString>
#include <cstdint>

namespace Platform {

// File attributes with the Windows bit values the suite stores and compares.
inline constexpr std::uint32_t faReadOnly = 0x0001;
inline constexpr std::uint32_t faHidden = 0x0002;
inline constexpr std::uint32_t faSysFile = 0x0004;
inline constexpr std::uint32_t faDirectory = 0x0010;
inline constexpr std::uint32_t faArchive = 0x0020;
inline constexpr std::uint32_t faNormal = 0x0080;
inline constexpr std::uint32_t faTemporary = 0x0100;
inline constexpr std::uint32_t faSymLink = 0x0400; // reparse point
inline constexpr std::uint32_t faCompressed = 0x0800;
inline constexpr std::uint32_t faOffline = 0x1000;
inline constexpr std::uint32_t faNotContentIndexed = 0x2000;
inline constexpr std::uint32_t faEncrypted = 0x4000;
inline constexpr std::uint32_t faInvalid = 0xFFFFFFFF;

enum class TOpenAccess
{
    Read,
    Write,
    ReadWrite,
};

// How a created file is written.
enum TCreateFlag : unsigned
{
    cfWriteThrough = 0x1, // every write reaches the disk before it returns
    cfSequential = 0x2,   // read and written front to back: read ahead more
};

// An open file; closes itself. Move-only.
class TFile
{
public:
    TFile() = default;
    ~TFile();
    TFile(TFile&& Other) noexcept;
    TFile& operator=(TFile&& Other) noexcept;
    TFile(const TFile&) = delete;
    TFile& operator=(const TFile&) = delete;

    // Opens an existing file.
    int Open(const QString& Name, TOpenAccess Access);
    // Creates a file for reading and writing, replacing an existing one. Rights are permission
    // bits; 0 gives the usual 0666 less the umask. Flags: TCreateFlag values.
    int Create(const QString& Name, unsigned Rights = 0, unsigned Flags = 0);
    // Creates a file that must not exist yet (ErrFileExists otherwise).
    int CreateNew(const QString& Name, unsigned Rights = 0, unsigned Flags = 0);

    // Reads up to Count bytes; Done is the number read, fewer only at the end of the file.
    // On failure Done is -1.
    int Read(void* Buffer, qint64 Count, qint64& Done);
    // Writes Count bytes. A failure after some bytes were written is reported as a short write
    // (Done < Count, result 0); the next call then fails with the error.
    int Write(const void* Buffer, qint64 Count, qint64& Done);
    int Seek(qint64 Position);
    int Size(qint64& Bytes) const;
    // Moves up to Count bytes from this file's position to Dest's inside the system, without
    // passing them through a buffer; Done as with Write, 0 at the end of this file.
    // ErrNotSupported (or another code) when the host cannot do it for these two files: then
    // Read and Write do the work and name the side that failed.
    int CopyTo(TFile& Dest, qint64 Count, qint64& Done);
    int Flush(); // to the disk
    // Drops the file's pages from the system cache (written ones must be flushed first), so that
    // the next read comes from the disk.
    int DropCache();
    int Close();

    bool IsOpen() const { return FHandle >= 0; }
    const QString& Name() const { return FName; }
    int Handle() const { return FHandle; }

private:
    int OpenNew(const QString& Name, int Flags, unsigned Rights, unsigned CreateFlags);

    int FHandle = -1;
    QString FName;
};

struct TFindData
{
    QString Name; // without the folder
    qint64 Size = 0;
    std::uint32_t Attributes = 0;
    TFileTimestamps Times;
};

// Attributes of a file or folder, following links.
int GetFileAttributes(const QString& Name, std::uint32_t& Attributes);
// Sets the read-only bit as permission bits and the other bits as the file's DOS attributes.
int SetFileAttributes(const QString& Name, std::uint32_t Attributes);

// Time stamps, following links.
int GetFileTimes(const QString& Name, TFileTimestamps& Times);
// Sets access and last-write time; a zero field is left as it is. The creation time cannot be set
// on this host and is ignored.
int SetFileTimes(const QString& Name, const TFileTimestamps& Times);

// The directory entry of Path itself (a link is described, not followed).
int FindEntry(const QString& Path, TFindData& Data);
// The entries of a folder, without "." and "..", in the order the file system gives.
int ListDirectory(const QString& Folder, QList<TFindData>& Entries);

bool FileExists(const QString& Name);      // anything but a folder, following links
bool DirectoryExists(const QString& Name); // following links
// Creates a folder and its missing parents.
int ForceDirectories(const QString& Folder);
int DeleteFile(const QString& Name);
// Replaces an existing destination.
int RenameFile(const QString& From, const QString& To);
// Whether two names name the same file: equal names by the host's rules (case matters here),
// or two existing names for one file (links, a case-insensitive file system).
bool SameFile(const QString& A, const QString& B);

QString CurrentDirectory();

} // namespace Platform
