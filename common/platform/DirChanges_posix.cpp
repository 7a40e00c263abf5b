#include "DirChanges.h"

#include "FaultInjection.h"
#include "MessageCatalog.h"
#include "SysErrors.h"

#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>
#include <vector>

namespace Platform {

namespace {

QString Tr(const char* MsgId)
{
    return TranslateText("units", MsgId);
}

// File-system type numbers of statfs.
constexpr std::int64_t NfsMagic = 0x6969;
constexpr std::int64_t SmbMagic = 0x517B;
constexpr std::int64_t CifsMagic = 0xFF534D42;
constexpr std::int64_t Smb2Magic = 0xFE534D42;
constexpr std::int64_t CodaMagic = 0x73757245;
constexpr std::int64_t AfsMagic = 0x5346414F;
constexpr std::int64_t AfsFsMagic = 0x6B414653;
constexpr std::int64_t V9fsMagic = 0x01021997;
constexpr std::int64_t CephMagic = 0x00C36400;
constexpr std::int64_t NcpMagic = 0x564C;
constexpr std::int64_t FuseMagic = 0x65735546;

// How long a "moved from" waits for its "moved to" before it counts as a removal.
constexpr int PairingWaitMs = 20;
// How often a file that stays open for writing is reported again.
constexpr qint64 WriteReportIntervalMs = 1000;
// Unpaired "moved from" records kept at most, however busy the tree.
constexpr int MaxPending = 256;

// The kernel mask always holds what the bookkeeping of the tree needs.
constexpr std::uint32_t BaseMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF |
                                   IN_MOVE_SELF | IN_DONT_FOLLOW | IN_ONLYDIR | IN_EXCL_UNLINK;
constexpr std::uint32_t ContentFlags = NotifySize | NotifyLastWrite;
constexpr std::uint32_t AttribFlags = NotifyAttributes | NotifySecurity | NotifyLastWrite | NotifyLastAccess;

QByteArray Encoded(const QString& Name)
{
    return QFile::encodeName(Name);
}

QString JoinName(const QString& Folder, const QString& Name)
{
    return Folder.isEmpty() ? Name : Folder + QLatin1Char('/') + Name;
}

// The file-system type of the mount that holds Path, as /proc/self/mountinfo names it.
QString MountTypeOf(const QString& Path)
{
    QFile f(QStringLiteral("/proc/self/mountinfo"));
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray path = Encoded(Path);
    QByteArray best, type;
    for (const QByteArray& line : f.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        const int dash = fields.indexOf("-");
        if (fields.size() < 5 || dash < 0 || dash + 1 >= fields.size()) continue;
        const QByteArray mount = fields[4];
        const bool contains = mount == "/" || path == mount || path.startsWith(mount + '/');
        if (contains && mount.size() >= best.size()) {
            best = mount;
            type = fields[dash + 1];
        }
    }
    return QString::fromUtf8(type);
}

class TInotifyReader final : public TDirChangeReader
{
public:
    ~TInotifyReader() override
    {
        if (FFd >= 0) ::close(FFd);
        if (FStopFd >= 0) ::close(FStopFd);
    }

    int Open(const TDirWatchSettings& Settings)
    {
        FRoot = Settings.Directory;
        while (FRoot.size() > 1 && FRoot.endsWith(QLatin1Char('/')))
            FRoot.chop(1);
        FSubTree = Settings.SubTree;
        FFilter = Settings.Filter;
        FMask = BaseMask | ((FFilter & ContentFlags) ? IN_MODIFY | IN_CLOSE_WRITE : 0u) |
                ((FFilter & AttribFlags) ? IN_ATTRIB : 0u);
        FClock.start();
        const std::size_t least = sizeof(inotify_event) + NAME_MAX + 1;
        FBuffer.resize(std::max<std::size_t>(least, std::max(Settings.BufferBytes, 0)));

        struct stat st
        {
        };
        if (::stat(Encoded(FRoot).constData(), &st) != 0) return errno;
        if (!S_ISDIR(st.st_mode)) return ErrPathNotFound;
        FFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (FFd < 0) return errno;
        FStopFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (FStopFd < 0) return errno;

        int error = 0;
        FRootWd = AddWatch(FRoot, -1, QString(), &error);
        if (FRootWd < 0) return error;

        FOut = &FStartNotices;
        if (FSubTree) Scan(FRootWd, FRoot, QString(), false);
        CheckFileSystem();
        FOut = nullptr;
        return 0;
    }

    TReadResult Read(QList<TDirNotice>& Notices) override
    {
        Notices.clear();
        if (FEnded) return TReadResult::Ended;
        FOut = &Notices;
        FLastOfName.clear();
        const TReadResult r = ReadLoop();
        FOut = nullptr;
        return r;
    }

    void Stop() override
    {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(FStopFd, &one, sizeof one);
    }

private:
    struct TNode
    {
        int Parent = -1;
        QString Name;
        QHash<QString, int> Children; // sub-folders by name, with their watches
    };

    struct TPending
    {
        std::uint32_t Cookie = 0;
        int Parent = -1;
        QString Name;
        QString RelName;
        bool IsDir = false;
    };

    TReadResult ReadLoop()
    {
        if (!FStartNotices.isEmpty()) {
            Append(std::exchange(FStartNotices, {}));
            return TReadResult::Notices;
        }
        for (;;) {
            pollfd fds[2] = {{FFd, POLLIN, 0}, {FStopFd, POLLIN, 0}};
            const int n = ::poll(fds, 2, FPending.isEmpty() ? -1 : PairingWaitMs);
            if (n < 0) {
                if (errno == EINTR) continue;
                return Fail(errno);
            }
            if (fds[1].revents) return TReadResult::Stopped;
            if (n == 0) {
                FlushPending(FPending.size());
                if (!FOut->isEmpty()) return TReadResult::Notices;
                continue;
            }
            const ssize_t got = ::read(FFd, FBuffer.data(), FBuffer.size());
            if (got < 0) {
                if (errno == EINTR || errno == EAGAIN) continue;
                return Fail(errno);
            }
            if (CheckFault(TFileOp::ReadChanges, FRoot, got).Error == ErrNotifyEnumDir) {
                // The batch is lost; what is left is the system's own overflow record.
                const inotify_event overflow{-1, IN_Q_OVERFLOW, 0, 0};
                Process(reinterpret_cast<const char*>(&overflow), sizeof overflow);
            } else {
                Process(FBuffer.data(), got);
            }
            if (FEnded) return TReadResult::Ended;
            if (!FOut->isEmpty()) return TReadResult::Notices;
        }
    }

    TReadResult Fail(int Code)
    {
        Error(Code, SysErrorMessage(Code));
        FEnded = true;
        return TReadResult::Ended;
    }

    void Process(const char* Data, ssize_t Size)
    {
        for (ssize_t at = 0; at + ssize_t(sizeof(inotify_event)) <= Size && !FEnded;) {
            inotify_event ev;
            std::memcpy(&ev, Data + at, sizeof ev);
            const char* name = Data + at + sizeof ev;
            at += sizeof ev + ev.len;
            Handle(ev, ev.len ? QFile::decodeName(name) : QString());
        }
    }

    void Handle(const inotify_event& Ev, const QString& Name)
    {
        // The overflow record has no watch (wd -1): look at it before any look-up.
        if (Ev.mask & IN_Q_OVERFLOW) {
            Overflow();
            return;
        }
        if (!FNodes.contains(Ev.wd)) return; // a record of a watch dropped meanwhile
        // A record from inside a folder whose "moved from" is unpaired: that folder left the tree
        // (a move inside it gives the "moved to" first).
        if (!(Ev.mask & IN_MOVED_TO) && !FPending.isEmpty()) {
            FlushPendingAbove(Ev.wd);
            if (!FNodes.contains(Ev.wd)) return;
        }
        if (Ev.wd == FRootWd && (Ev.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT | IN_IGNORED))) {
            RootGone(Ev.mask);
            return;
        }
        if (Ev.mask & IN_IGNORED) {
            DropTree(Ev.wd, false);
            FLimitReported = false; // a watch was freed
            return;
        }
        if (Ev.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT) || Name.isEmpty()) return;

        const bool isDir = Ev.mask & IN_ISDIR;
        const QString rel = JoinName(RelName(Ev.wd), Name);
        if (Ev.mask & IN_CREATE) {
            ReportName(ChangeAdded, rel, isDir);
            if (isDir && FSubTree) WatchNew(Ev.wd, Name, rel, true);
        } else if (Ev.mask & IN_DELETE) {
            ReportName(ChangeRemoved, rel, isDir);
            FWriting.remove(rel);
            if (isDir) DropTree(FNodes[Ev.wd].Children.value(Name, -1), true);
        } else if (Ev.mask & IN_MOVED_FROM) {
            if (FPending.size() >= MaxPending) FlushPending(1);
            FWriting.remove(rel);
            FPending.append({Ev.cookie, Ev.wd, Name, rel, isDir});
        } else if (Ev.mask & IN_MOVED_TO) {
            MovedTo(Ev, Name, rel, isDir);
        } else if (Ev.mask & IN_MODIFY) {
            if (FFilter & ContentFlags) Modified(rel);
        } else if (Ev.mask & IN_CLOSE_WRITE) {
            FWriting.remove(rel); // the next write is a change of its own
        } else if (Ev.mask & IN_ATTRIB) {
            if (FFilter & AttribFlags) Report(ChangeModified, rel);
        }
    }

    void MovedTo(const inotify_event& Ev, const QString& Name, const QString& Rel, bool IsDir)
    {
        const auto from = std::find_if(FPending.begin(), FPending.end(),
                                       [&](const TPending& p) { return p.Cookie == Ev.cookie; });
        if (from == FPending.end()) {
            // Moved in from outside the tree: new to us, contents and all.
            ReportName(ChangeAdded, Rel, IsDir);
            if (IsDir && FSubTree) WatchNew(Ev.wd, Name, Rel, true);
            return;
        }
        const TPending p = *from;
        FPending.erase(from);
        ReportName(ChangeRenamedOld, p.RelName, IsDir);
        ReportName(ChangeRenamedNew, Rel, IsDir);
        if (!IsDir || !FSubTree) return;
        const int moved = FNodes.contains(p.Parent) ? FNodes[p.Parent].Children.value(p.Name, -1) : -1;
        if (moved >= 0 && FNodes.contains(moved)) {
            Relink(moved, Ev.wd, Name); // one update: every name below now has the new path
        } else {
            WatchNew(Ev.wd, Name, Rel, false);
        }
    }

    // One write of a file gives one report, not one per write() call: while the writer keeps the
    // file open, further writes are reported at most once a second.
    void Modified(const QString& Rel)
    {
        const qint64 now = FClock.elapsed();
        const auto it = FWriting.constFind(Rel);
        if (it != FWriting.cend() && now - *it < WriteReportIntervalMs) return;
        FWriting.insert(Rel, now);
        Report(ChangeModified, Rel);
    }

    // Unpaired "moved from" records: moved out of the tree, so removed.
    void FlushPending(qsizetype Count)
    {
        for (qsizetype i = 0; i < Count && !FPending.isEmpty(); ++i) {
            const TPending p = FPending.takeFirst();
            ReportName(ChangeRemoved, p.RelName, p.IsDir);
            if (p.IsDir && FNodes.contains(p.Parent))
                DropTree(FNodes[p.Parent].Children.value(p.Name, -1), true);
        }
    }

    void FlushPendingAbove(int Wd)
    {
        for (qsizetype i = 0; i < FPending.size();) {
            const TPending& p = FPending[i];
            const int moved =
                p.IsDir && FNodes.contains(p.Parent) ? FNodes[p.Parent].Children.value(p.Name, -1) : -1;
            if (moved >= 0 && IsBelow(Wd, moved)) {
                const TPending gone = FPending.takeAt(i);
                ReportName(ChangeRemoved, gone.RelName, true);
                DropTree(moved, true);
            } else {
                ++i;
            }
        }
    }

    void Overflow()
    {
        Error(ErrNotifyEnumDir, Tr("Too many changes at once: the system dropped change notifications, "
                                   "so the changes of this period are not reported"));
        FPending.clear();
        Rescan();
    }

    void RootGone(std::uint32_t Mask)
    {
        const int code = (Mask & IN_UNMOUNT) ? ENODEV : ErrFileNotFound;
        const QString text = (Mask & IN_UNMOUNT)     ? Tr("The watched directory \"%1\" was unmounted")
                             : (Mask & IN_MOVE_SELF) ? Tr("The watched directory \"%1\" was moved away")
                                                     : Tr("The watched directory \"%1\" was deleted");
        Error(code, text.arg(FRoot));
        FEnded = true;
    }

    void CheckFileSystem()
    {
        struct statfs fs
        {
        };
        if (::statfs(Encoded(FRoot).constData(), &fs) != 0) return;
        const std::int64_t type = static_cast<std::int64_t>(fs.f_type) & 0xFFFFFFFF;
        QString sub;
        if (type == FuseMagic) {
            sub = MountTypeOf(FRoot);
            if (sub.startsWith(QLatin1String("fuse."))) sub = sub.mid(5);
        }
        if (IsNetworkFileSystem(type, sub))
            Error(ErrNotSupported, Tr("\"%1\" is on a network file system: changes made there by other "
                                      "computers are not reported")
                                       .arg(FRoot));
    }

    // --- the tree of watched folders ---

    QString RelName(int Wd) const
    {
        QStringList parts;
        for (int wd = Wd; wd != FRootWd && wd >= 0;) {
            const auto it = FNodes.constFind(wd);
            if (it == FNodes.cend()) break;
            parts.prepend(it->Name);
            wd = it->Parent;
        }
        return parts.join(QLatin1Char('/'));
    }

    QString FullName(const QString& Rel) const
    {
        return Rel.isEmpty() ? FRoot : FRoot + QLatin1Char('/') + Rel;
    }

    bool IsBelow(int Wd, int Ancestor) const
    {
        for (int wd = Wd; wd >= 0; wd = FNodes.value(wd).Parent)
            if (wd == Ancestor) return true;
        return false;
    }

    // Adds a watch on Path, the folder Name in the folder watched by Parent. Returns the watch, or
    // -1; Created tells whether the folder was not watched before.
    int AddWatch(const QString& Path, int Parent, const QString& Name, int* OutError = nullptr,
                 bool* Created = nullptr)
    {
        int wd = -1;
        int error = CheckFault(TFileOp::WatchDirectory, Path).Error;
        if (!error) {
            // The watched directory itself may be reached through a link; nothing below it is.
            const std::uint32_t mask = Parent < 0 ? FMask & ~std::uint32_t(IN_DONT_FOLLOW) : FMask;
            wd = inotify_add_watch(FFd, Encoded(Path).constData(), mask);
            if (wd < 0) error = errno;
        }
        if (OutError) *OutError = error;
        if (wd < 0) {
            if (error == ENOSPC || error == ENOMEM) {
                if (!FLimitReported)
                    Error(error, Tr("The system's limit of watched folders is reached, so changes "
                                    "below \"%1\" are not reported. Raise the limit "
                                    "fs.inotify.max_user_watches, for example with "
                                    "\"sysctl fs.inotify.max_user_watches=524288\"")
                                     .arg(Path));
                FLimitReported = true;
            } else if (error != ENOENT && error != ENOTDIR && Parent >= 0) {
                // Gone or replaced by a file meanwhile is normal; anything else is worth a word.
                Error(error, SysErrorMessage(error) + QStringLiteral(": \"") + Path + QLatin1Char('"'));
            }
            return -1;
        }
        const bool created = !FNodes.contains(wd);
        if (Created) *Created = created;
        if (created) {
            FNodes.insert(wd, TNode{Parent, Name, {}});
            if (Parent >= 0) Link(wd, Parent, Name);
        } else if (Parent >= 0 && (FNodes[wd].Parent != Parent || FNodes[wd].Name != Name)) {
            Relink(wd, Parent, Name); // a folder we know, found at a new place
        }
        return wd;
    }

    void Link(int Wd, int Parent, const QString& Name)
    {
        TNode& parent = FNodes[Parent];
        const int old = parent.Children.value(Name, -1);
        if (old >= 0 && old != Wd) DropTree(old, true); // a folder replaced by renaming over it
        FNodes[Parent].Children.insert(Name, Wd);
    }

    void Relink(int Wd, int Parent, const QString& Name)
    {
        if (!FNodes.contains(Parent) || IsBelow(Parent, Wd)) return; // never a cycle
        TNode& node = FNodes[Wd];
        if (FNodes.contains(node.Parent)) {
            QHash<QString, int>& siblings = FNodes[node.Parent].Children;
            if (siblings.value(node.Name, -1) == Wd) siblings.remove(node.Name);
        }
        node.Parent = Parent;
        node.Name = Name;
        Link(Wd, Parent, Name);
    }

    // Forgets a folder and everything below it; Remove also takes the watches off the system.
    void DropTree(int Wd, bool Remove)
    {
        if (Wd < 0 || Wd == FRootWd || !FNodes.contains(Wd)) return;
        TNode node = FNodes.take(Wd);
        for (const int child : std::as_const(node.Children))
            DropTree(child, Remove);
        if (FNodes.contains(node.Parent)) {
            QHash<QString, int>& siblings = FNodes[node.Parent].Children;
            if (siblings.value(node.Name, -1) == Wd) siblings.remove(node.Name);
        }
        if (Remove) inotify_rm_watch(FFd, Wd);
    }

    // A folder new to the tree: watch it first, then scan it, so that nothing made inside it in
    // between is missed; what the scan finds is reported as added when Report is set.
    void WatchNew(int Parent, const QString& Name, const QString& Rel, bool Report)
    {
        bool created = false;
        const int wd = AddWatch(FullName(Rel), Parent, Name, nullptr, &created);
        if (wd >= 0 && created) Scan(wd, FullName(Rel), Rel, Report);
    }

    template <typename F> static void ForEachEntry(const QString& Folder, F Visit)
    {
        DIR* dir = ::opendir(Encoded(Folder).constData());
        if (!dir) return;
        const int dirFd = ::dirfd(dir);
        while (const dirent* e = ::readdir(dir)) {
            if (!std::strcmp(e->d_name, ".") || !std::strcmp(e->d_name, "..")) continue;
            bool isDir = e->d_type == DT_DIR;
            if (e->d_type == DT_UNKNOWN) {
                struct stat st
                {
                };
                isDir = ::fstatat(dirFd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
            }
            Visit(QFile::decodeName(e->d_name), isDir);
        }
        ::closedir(dir);
    }

    void Scan(int Wd, const QString& Path, const QString& Rel, bool Report)
    {
        ForEachEntry(Path, [&](const QString& name, bool isDir) {
            const QString rel = JoinName(Rel, name);
            if (Report) ReportName(ChangeAdded, rel, isDir);
            if (isDir && FSubTree) {
                bool created = false;
                const QString full = Path + QLatin1Char('/') + name;
                const int wd = AddWatch(full, Wd, name, nullptr, &created);
                if (wd >= 0 && created) Scan(wd, full, rel, Report);
            }
        });
    }

    // After lost records: watch every folder that is there, forget those that are not.
    void Rescan()
    {
        if (!FSubTree) return;
        QSet<int> seen{FRootWd};
        std::vector<std::pair<int, QString>> todo{{FRootWd, FRoot}};
        while (!todo.empty()) {
            const int wd = todo.back().first;
            const QString path = todo.back().second;
            todo.pop_back();
            ForEachEntry(path, [&](const QString& name, bool isDir) {
                if (!isDir) return;
                const QString full = path + QLatin1Char('/') + name;
                const int child = AddWatch(full, wd, name);
                if (child >= 0 && !seen.contains(child)) {
                    seen.insert(child);
                    todo.emplace_back(child, full);
                }
            });
        }
        const QList<int> known = FNodes.keys();
        for (const int wd : known)
            if (!seen.contains(wd)) DropTree(wd, true);
    }

    // --- records ---

    void ReportName(int Action, const QString& Rel, bool IsDir)
    {
        if (FFilter & (IsDir ? NotifyDirName : NotifyFileName)) Report(Action, Rel);
    }

    // Repeats of the same change to one name within a batch come once.
    void Report(int Action, const QString& Rel)
    {
        const auto last = FLastOfName.constFind(Rel);
        if (last != FLastOfName.cend() && (*FOut)[*last].Code == Action) return;
        FLastOfName.insert(Rel, FOut->size());
        FOut->append({false, Action, Rel});
    }

    void Error(int Code, const QString& Text)
    {
        FOut->append({true, Code, Text});
        FLastOfName.clear(); // a change after an error is news again
    }

    void Append(const QList<TDirNotice>& Notices) { FOut->append(Notices); }

    QString FRoot;
    bool FSubTree = true;
    std::uint32_t FFilter = NotifyAll;
    std::uint32_t FMask = BaseMask;
    std::vector<char> FBuffer;
    int FFd = -1;
    int FStopFd = -1;
    int FRootWd = -1;
    QHash<int, TNode> FNodes;
    QList<TPending> FPending;
    QList<TDirNotice> FStartNotices;
    QList<TDirNotice>* FOut = nullptr;
    QHash<QString, qsizetype> FLastOfName;
    QHash<QString, qint64> FWriting; // files open for writing: when their change was last reported
    QElapsedTimer FClock;
    bool FLimitReported = false;
    bool FEnded = false;
};

} // namespace

std::unique_ptr<TDirChangeReader> OpenDirChangeReader(const TDirWatchSettings& Settings, int& Error)
{
    auto reader = std::make_unique<TInotifyReader>();
    Error = reader->Open(Settings);
    if (Error) return nullptr;
    return reader;
}

bool IsNetworkFileSystem(std::int64_t Type, const QString& SubType)
{
    switch (Type) {
    case NfsMagic:
    case SmbMagic:
    case CifsMagic:
    case Smb2Magic:
    case CodaMagic:
    case AfsMagic:
    case AfsFsMagic:
    case V9fsMagic:
    case CephMagic:
    case NcpMagic:
        return true;
    case FuseMagic: {
        static const QStringList remote = {QStringLiteral("sshfs"),     QStringLiteral("rclone"),
                                           QStringLiteral("s3fs"),      QStringLiteral("gcsfuse"),
                                           QStringLiteral("curlftpfs"), QStringLiteral("glusterfs"),
                                           QStringLiteral("davfs"),     QStringLiteral("smbnetfs")};
        return remote.contains(SubType, Qt::CaseInsensitive);
    }
    default:
        return false;
    }
}

} // namespace Platform
