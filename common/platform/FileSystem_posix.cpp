#include "FileSystem.h"

#include "FaultInjection.h"
#include "SysErrors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace Platform {

namespace {

// DOS attribute bits kept in the extended attribute, in Samba's text form ("0x22").
constexpr char DosAttribName[] = "user.DOSATTRIB";
constexpr std::uint32_t DosAttribMask = faHidden | faSysFile | faArchive | faTemporary | faCompressed |
                                        faOffline | faNotContentIndexed | faEncrypted;

QByteArray Encoded(const QString& Name)
{
    return QFile::encodeName(Name);
}

// Runs a system call that returns -1 on failure, again while it was interrupted.
template <typename F> auto Retry(F Call)
{
    decltype(Call()) r;
    do
        r = Call();
    while (r == -1 && errno == EINTR);
    return r;
}

int Fail(int Error)
{
    errno = Error;
    return Error;
}

std::uint32_t ReadDosBits(const QByteArray& Path)
{
    char value[64];
    const ssize_t n = getxattr(Path.constData(), DosAttribName, value, sizeof value - 1);
    if (n <= 0) return 0;
    value[n] = '\0';
    if (n < 3 || value[0] != '0' || (value[1] != 'x' && value[1] != 'X')) return 0;
    char* end = nullptr;
    const unsigned long bits = std::strtoul(value + 2, &end, 16);
    return static_cast<std::uint32_t>(bits) & DosAttribMask;
}

std::uint32_t AttributesOf(const struct stat& St, std::uint32_t DosBits)
{
    std::uint32_t attr = DosBits;
    if (S_ISDIR(St.st_mode)) attr |= faDirectory;
    if ((St.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) attr |= faReadOnly;
    return attr == 0 ? faNormal : attr;
}

TFileTimestamps TimesOf(const struct statx& Stx)
{
    TFileTimestamps t;
    if (Stx.stx_mask & STATX_BTIME)
        t.CreationTime = FileTimeFromUnix(Stx.stx_btime.tv_sec, Stx.stx_btime.tv_nsec);
    t.LastAccessTime = FileTimeFromUnix(Stx.stx_atime.tv_sec, Stx.stx_atime.tv_nsec);
    t.LastWriteTime = FileTimeFromUnix(Stx.stx_mtime.tv_sec, Stx.stx_mtime.tv_nsec);
    return t;
}

int StatxAt(int DirFd, const char* Path, int Flags, struct statx& Stx)
{
    if (statx(DirFd, Path, Flags, STATX_BASIC_STATS | STATX_BTIME, &Stx) != 0) return errno;
    return 0;
}

// Describes the entry Path (relative to DirFd) without following a final link; FullPath names
// the same entry for the calls that have no *at form.
void FillFindData(int DirFd, const char* Path, const QByteArray& FullPath, const struct statx& Stx,
                  TFindData& Data)
{
    Data.Name = QFileInfo(QFile::decodeName(FullPath)).fileName();
    Data.Size = static_cast<qint64>(Stx.stx_size);
    Data.Times = TimesOf(Stx);
    std::uint32_t attr = 0;
    if (S_ISLNK(Stx.stx_mode)) {
        attr = faSymLink;
        struct stat target
        {
        };
        if (fstatat(DirFd, Path, &target, 0) == 0 && S_ISDIR(target.st_mode)) attr |= faDirectory;
    } else {
        struct stat st
        {
        };
        st.st_mode = Stx.stx_mode;
        attr = AttributesOf(st, ReadDosBits(FullPath));
    }
    Data.Attributes = attr;
}

} // namespace

TFile::~TFile()
{
    Close();
}

TFile::TFile(TFile&& Other) noexcept : FHandle(Other.FHandle), FName(std::move(Other.FName))
{
    Other.FHandle = -1;
}

TFile& TFile::operator=(TFile&& Other) noexcept
{
    if (this != &Other) {
        Close();
        FHandle = Other.FHandle;
        FName = std::move(Other.FName);
        Other.FHandle = -1;
    }
    return *this;
}

int TFile::Open(const QString& Name, TOpenAccess Access)
{
    Close();
    if (const TFault f = CheckFault(TFileOp::Open, Name); f.Error) return Fail(f.Error);
    const int flags = Access == TOpenAccess::Read    ? O_RDONLY
                      : Access == TOpenAccess::Write ? O_WRONLY
                                                     : O_RDWR;
    const QByteArray path = Encoded(Name);
    const int fd = Retry([&] { return ::open(path.constData(), flags | O_CLOEXEC); });
    if (fd < 0) return errno;
    struct stat st
    {
    };
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) { // a folder is no file to read
        ::close(fd);
        return Fail(EISDIR);
    }
    FHandle = fd;
    FName = Name;
    return 0;
}

int TFile::OpenNew(const QString& Name, int Flags, unsigned Rights, unsigned CreateFlags)
{
    Close();
    if (const TFault f = CheckFault(TFileOp::Create, Name); f.Error) return Fail(f.Error);
    const QByteArray path = Encoded(Name);
    const mode_t mode = Rights ? Rights : 0666;
    if (CreateFlags & cfWriteThrough) Flags |= O_DSYNC;
    const int fd =
        Retry([&] { return ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | Flags, mode); });
    if (fd < 0) return errno;
    if (CreateFlags & cfSequential) ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    FHandle = fd;
    FName = Name;
    return 0;
}

int TFile::Create(const QString& Name, unsigned Rights, unsigned Flags)
{
    return OpenNew(Name, O_TRUNC, Rights, Flags);
}

int TFile::CreateNew(const QString& Name, unsigned Rights, unsigned Flags)
{
    return OpenNew(Name, O_EXCL, Rights, Flags);
}

int TFile::Read(void* Buffer, qint64 Count, qint64& Done)
{
    Done = -1;
    if (FHandle < 0) return Fail(EBADF);
    const TFault f = CheckFault(TFileOp::Read, FName, Count);
    if (f.Error) return Fail(f.Error);
    if (f.MaxBytes >= 0 && f.MaxBytes < Count) Count = f.MaxBytes;
    qint64 total = 0;
    auto* p = static_cast<char*>(Buffer);
    while (total < Count) {
        const ssize_t n =
            Retry([&] { return ::read(FHandle, p + total, static_cast<size_t>(Count - total)); });
        if (n < 0) return errno;
        if (n == 0) break;
        total += n;
    }
    Done = total;
    return 0;
}

int TFile::Write(const void* Buffer, qint64 Count, qint64& Done)
{
    Done = -1;
    if (FHandle < 0) return Fail(EBADF);
    const TFault f = CheckFault(TFileOp::Write, FName, Count);
    if (f.Error) return Fail(f.Error);
    qint64 allowed = Count;
    if (f.MaxBytes >= 0 && f.MaxBytes < Count) allowed = f.MaxBytes;
    qint64 total = 0;
    const auto* p = static_cast<const char*>(Buffer);
    while (total < allowed) {
        const ssize_t n =
            Retry([&] { return ::write(FHandle, p + total, static_cast<size_t>(allowed - total)); });
        if (n < 0) {
            if (total > 0) break; // report what was written; the error comes with the next call
            return errno;
        }
        total += n;
    }
    Done = total;
    return 0;
}

int TFile::CopyTo(TFile& Dest, qint64 Count, qint64& Done)
{
    Done = -1;
    if (FHandle < 0 || Dest.FHandle < 0) return Fail(EBADF);
    if (const TFault f = CheckFault(TFileOp::Read, FName, Count); f.Error)
        return Fail(f.Error);
    else if (f.MaxBytes >= 0 && f.MaxBytes < Count)
        Count = f.MaxBytes;
    if (const TFault f = CheckFault(TFileOp::Write, Dest.FName, Count); f.Error)
        return Fail(f.Error);
    else if (f.MaxBytes >= 0 && f.MaxBytes < Count)
        Count = f.MaxBytes;
    qint64 total = 0;
    while (total < Count) {
        const ssize_t n = Retry([&] {
            return ::copy_file_range(FHandle, nullptr, Dest.FHandle, nullptr,
                                     static_cast<size_t>(Count - total), 0);
        });
        if (n < 0) {
            if (total > 0) break; // report what was moved; the error comes with the next call
            return errno == EXDEV || errno == EINVAL || errno == ENOSYS ? Fail(EOPNOTSUPP) : errno;
        }
        if (n == 0) break;
        total += n;
    }
    Done = total;
    return 0;
}

int TFile::Seek(qint64 Position)
{
    if (FHandle < 0) return Fail(EBADF);
    return ::lseek(FHandle, Position, SEEK_SET) < 0 ? errno : 0;
}

int TFile::Size(qint64& Bytes) const
{
    struct stat st
    {
    };
    if (FHandle < 0 || fstat(FHandle, &st) != 0) return FHandle < 0 ? Fail(EBADF) : errno;
    Bytes = st.st_size;
    return 0;
}

int TFile::Flush()
{
    if (FHandle < 0) return Fail(EBADF);
    return Retry([&] { return ::fsync(FHandle); }) != 0 ? errno : 0;
}

int TFile::DropCache()
{
    if (FHandle < 0) return Fail(EBADF);
    return ::posix_fadvise(FHandle, 0, 0, POSIX_FADV_DONTNEED);
}

int TFile::Close()
{
    if (FHandle < 0) return 0;
    const int fd = FHandle;
    FHandle = -1;
    // close() must not be retried on EINTR: the descriptor is gone either way.
    return ::close(fd) != 0 && errno != EINTR ? errno : 0;
}

int GetFileAttributes(const QString& Name, std::uint32_t& Attributes)
{
    Attributes = faInvalid;
    const QByteArray path = Encoded(Name);
    struct stat st
    {
    };
    if (::stat(path.constData(), &st) != 0) return errno;
    Attributes = AttributesOf(st, ReadDosBits(path));
    return 0;
}

int SetFileAttributes(const QString& Name, std::uint32_t Attributes)
{
    if (const TFault f = CheckFault(TFileOp::SetAttributes, Name); f.Error) return Fail(f.Error);
    const QByteArray path = Encoded(Name);
    struct stat st
    {
    };
    if (::stat(path.constData(), &st) != 0) return errno;
    mode_t mode = st.st_mode & 07777;
    if (Attributes & faReadOnly)
        mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
    else if ((mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        mode |= S_IWUSR;
    if (mode != (st.st_mode & 07777) && ::chmod(path.constData(), mode) != 0) return errno;

    const std::uint32_t bits = Attributes & DosAttribMask;
    if (bits != 0) {
        const QByteArray text = "0x" + QByteArray::number(bits, 16);
        if (::setxattr(path.constData(), DosAttribName, text.constData(), static_cast<size_t>(text.size()),
                       0) != 0 &&
            errno != ENOTSUP)
            return errno;
    } else if (::removexattr(path.constData(), DosAttribName) != 0 && errno != ENODATA && errno != ENOTSUP) {
        return errno;
    }
    // A file system without user attributes cannot keep the DOS bits; that is no failure.
    return 0;
}

int GetFileTimes(const QString& Name, TFileTimestamps& Times)
{
    const QByteArray path = Encoded(Name);
    struct statx stx
    {
    };
    if (const int err = StatxAt(AT_FDCWD, path.constData(), 0, stx)) return err;
    Times = TimesOf(stx);
    return 0;
}

int SetFileTimes(const QString& Name, const TFileTimestamps& Times)
{
    if (const TFault f = CheckFault(TFileOp::SetTimes, Name); f.Error) return Fail(f.Error);
    struct timespec ts[2];
    auto fill = [](struct timespec& t, TFileTime ft) {
        if (ft == 0) {
            t.tv_sec = 0;
            t.tv_nsec = UTIME_OMIT;
            return;
        }
        std::int64_t s = 0, ns = 0;
        FileTimeToUnix(ft, s, ns);
        t.tv_sec = static_cast<time_t>(s);
        t.tv_nsec = static_cast<long>(ns);
    };
    fill(ts[0], Times.LastAccessTime);
    fill(ts[1], Times.LastWriteTime);
    const QByteArray path = Encoded(Name);
    return ::utimensat(AT_FDCWD, path.constData(), ts, 0) != 0 ? errno : 0;
}

int FindEntry(const QString& Path, TFindData& Data)
{
    const QByteArray path = Encoded(Path);
    struct statx stx
    {
    };
    if (const int err = StatxAt(AT_FDCWD, path.constData(), AT_SYMLINK_NOFOLLOW, stx)) return err;
    FillFindData(AT_FDCWD, path.constData(), path, stx, Data);
    return 0;
}

int ListDirectory(const QString& Folder, QList<TFindData>& Entries)
{
    Entries.clear();
    const QByteArray path = Encoded(Folder);
    DIR* dir = ::opendir(path.constData());
    if (!dir) return errno;
    const int dirFd = ::dirfd(dir);
    int result = 0;
    for (;;) {
        errno = 0;
        const dirent* e = ::readdir(dir);
        if (!e) {
            result = errno;
            break;
        }
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        struct statx stx
        {
        };
        if (StatxAt(dirFd, e->d_name, AT_SYMLINK_NOFOLLOW, stx) != 0) continue; // removed since readdir
        TFindData data;
        FillFindData(dirFd, e->d_name, path + '/' + e->d_name, stx, data);
        Entries.append(std::move(data));
    }
    ::closedir(dir);
    return result;
}

bool FileExists(const QString& Name)
{
    struct stat st
    {
    };
    return !Name.isEmpty() && ::stat(Encoded(Name).constData(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const QString& Name)
{
    struct stat st
    {
    };
    return !Name.isEmpty() && ::stat(Encoded(Name).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

int ForceDirectories(const QString& Folder)
{
    if (Folder.isEmpty()) return Fail(ENOENT);
    const QString clean = QDir::cleanPath(QDir(Folder).absolutePath());
    if (DirectoryExists(clean)) return 0;
    const int slash = clean.lastIndexOf(QLatin1Char('/'));
    if (slash > 0)
        if (const int err = ForceDirectories(clean.left(slash))) return err;
    if (const TFault f = CheckFault(TFileOp::CreateDirectory, clean); f.Error) return Fail(f.Error);
    if (::mkdir(Encoded(clean).constData(), 0777) != 0 && !(errno == EEXIST && DirectoryExists(clean)))
        return errno;
    return 0;
}

int DeleteFile(const QString& Name)
{
    if (const TFault f = CheckFault(TFileOp::Delete, Name); f.Error) return Fail(f.Error);
    return ::unlink(Encoded(Name).constData()) != 0 ? errno : 0;
}

int RenameFile(const QString& From, const QString& To)
{
    if (const TFault f = CheckFault(TFileOp::Rename, From); f.Error) return Fail(f.Error);
    return ::rename(Encoded(From).constData(), Encoded(To).constData()) != 0 ? errno : 0;
}

bool SameFile(const QString& A, const QString& B)
{
    if (QDir::cleanPath(QDir(A).absolutePath()) == QDir::cleanPath(QDir(B).absolutePath())) return true;
    struct stat a
    {
    }, b{};
    return ::stat(Encoded(A).constData(), &a) == 0 && ::stat(Encoded(B).constData(), &b) == 0 &&
           a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

QString CurrentDirectory()
{
    return QDir::currentPath();
}

} // namespace Platform
