// The host's volumes: labels from udev's /dev/disk/by-label links, mounts from /proc/self/mountinfo.
#include "Volumes.h"

#include "KnownFolders.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace Platform {

namespace VolumeParsing {

namespace {

int HexValue(char C)
{
    if (C >= '0' && C <= '9') return C - '0';
    if (C >= 'a' && C <= 'f') return C - 'a' + 10;
    if (C >= 'A' && C <= 'F') return C - 'A' + 10;
    return -1;
}

} // namespace

QString DecodeUdevName(const QByteArray& Name)
{
    QByteArray out;
    for (qsizetype i = 0; i < Name.size(); ++i) {
        if (Name[i] == '\\' && i + 3 < Name.size() && Name[i + 1] == 'x') {
            const int hi = HexValue(Name[i + 2]);
            const int lo = HexValue(Name[i + 3]);
            if (hi >= 0 && lo >= 0) {
                out.append(char(hi * 16 + lo));
                i += 3;
                continue;
            }
        }
        out.append(Name[i]);
    }
    return QString::fromUtf8(out);
}

QString DecodeMountField(const QByteArray& Field)
{
    QByteArray out;
    for (qsizetype i = 0; i < Field.size(); ++i) {
        if (Field[i] == '\\' && i + 3 < Field.size()) {
            const QByteArray digits = Field.mid(i + 1, 3);
            bool ok = digits.size() == 3;
            for (char d : digits)
                ok = ok && d >= '0' && d <= '7';
            if (ok) {
                out.append(char(digits.toInt(nullptr, 8)));
                i += 3;
                continue;
            }
        }
        out.append(Field[i]);
    }
    return QFile::decodeName(out);
}

QList<TMountEntry> ParseMountInfo(const QByteArray& Content)
{
    QList<TMountEntry> entries;
    for (const QByteArray& line : Content.split('\n')) {
        const QList<QByteArray> f = line.split(' ');
        const qsizetype dash = f.indexOf("-");
        if (f.size() < 10 || dash < 6 || dash + 2 >= f.size()) continue;
        const QList<QByteArray> dev = f[2].split(':');
        if (dev.size() != 2) continue;
        TMountEntry e;
        e.Major = dev[0].toUInt();
        e.Minor = dev[1].toUInt();
        e.Root = DecodeMountField(f[3]);
        e.MountPoint = DecodeMountField(f[4]);
        e.FsType = DecodeMountField(f[dash + 1]);
        e.Source = DecodeMountField(f[dash + 2]);
        entries.append(e);
    }
    return entries;
}

} // namespace VolumeParsing

namespace {

using VolumeParsing::TMountEntry;

QString RealPath(const QString& Path)
{
    char* p = ::realpath(QFile::encodeName(Path).constData(), nullptr);
    if (!p) return QString();
    QString out = QFile::decodeName(p);
    std::free(p);
    return out;
}

// The canonical form of a path that need not exist: its longest existing leading part resolved.
QString CanonicalPath(const QString& Path)
{
    QString head = QDir::cleanPath(Path);
    QStringList tail;
    for (;;) {
        const QString real = RealPath(head);
        if (!real.isEmpty()) {
            if (tail.isEmpty()) return real;
            return (real == QLatin1String("/") ? real : real + QLatin1Char('/')) +
                   tail.join(QLatin1Char('/'));
        }
        const qsizetype slash = head.lastIndexOf(QLatin1Char('/'));
        if (slash < 0 || head == QLatin1String("/")) return QDir::cleanPath(Path);
        tail.prepend(head.mid(slash + 1));
        head = slash == 0 ? QStringLiteral("/") : head.left(slash);
    }
}

bool IsBelow(const QString& Path, const QString& MountPoint)
{
    if (MountPoint == QLatin1String("/")) return Path.startsWith(QLatin1Char('/'));
    return Path == MountPoint ||
           (Path.startsWith(MountPoint) && Path.at(MountPoint.size()) == QLatin1Char('/'));
}

struct TLabelLink
{
    QString Label;
    QString Device; // the link's target, resolved
    bool IsBlock = false;
    unsigned Major = 0, Minor = 0;
};

class THostVolumes : public TVolumes
{
public:
    THostVolumes(const QString& ByLabel, const QString& MountInfo) : FByLabel(ByLabel), FMountInfo(MountInfo)
    {
    }

    bool FindLabel(const QString& Label, TVolumeInfo& Info) override
    {
        const QList<TMountEntry> mounts = Mounts();
        for (const TLabelLink& link : Labels()) {
            if (link.Label.compare(Label, Qt::CaseInsensitive) != 0) continue;
            for (const TMountEntry& m : mounts) {
                if (m.Root == QLatin1String("/") && Same(link, m)) {
                    Info = {m.MountPoint, link.Label};
                    return true;
                }
            }
        }
        return false;
    }

    bool VolumeOfPath(const QString& Path, TVolumeInfo& Info) override
    {
        if (!Path.startsWith(QLatin1Char('/'))) return false;
        const QString path = CanonicalPath(Path);
        const TMountEntry* best = nullptr;
        const QList<TMountEntry> mounts = Mounts();
        for (const TMountEntry& m : mounts) // a later mount on the same point hides the earlier
            if (IsBelow(path, m.MountPoint) && (!best || m.MountPoint.size() >= best->MountPoint.size()))
                best = &m;
        if (!best) return false;
        Info = {best->MountPoint, QString()};
        for (const TLabelLink& link : Labels()) {
            if (Same(link, *best)) {
                Info.Label = link.Label;
                break;
            }
        }
        return true;
    }

private:
    QList<TMountEntry> Mounts() const
    {
        QFile f(FMountInfo);
        if (!f.open(QIODevice::ReadOnly)) return {};
        return VolumeParsing::ParseMountInfo(f.readAll()); // a proc file has no size: read to its end
    }

    QList<TLabelLink> Labels() const
    {
        QList<TLabelLink> links;
        const QByteArray folder = QFile::encodeName(FByLabel);
        DIR* dir = ::opendir(folder.constData());
        if (!dir) return links;
        while (const dirent* e = ::readdir(dir)) {
            const QByteArray name(e->d_name);
            if (name == "." || name == "..") continue;
            TLabelLink link;
            link.Label = VolumeParsing::DecodeUdevName(name);
            link.Device = RealPath(QFile::decodeName(folder + '/' + name));
            if (link.Device.isEmpty()) continue;
            struct stat st;
            if (::stat(QFile::encodeName(link.Device).constData(), &st) == 0 && S_ISBLK(st.st_mode)) {
                link.IsBlock = true;
                link.Major = major(st.st_rdev);
                link.Minor = minor(st.st_rdev);
            }
            links.append(link);
        }
        ::closedir(dir);
        return links;
    }

    // Whether a labelled device is the source of a mount: by device number, or (for file systems
    // such as btrfs whose mounts carry an anonymous number) by the device's name.
    static bool Same(const TLabelLink& Link, const TMountEntry& Mount)
    {
        if (Link.IsBlock && Link.Major == Mount.Major && Link.Minor == Mount.Minor) return true;
        if (!Mount.Source.startsWith(QLatin1Char('/'))) return false;
        return Mount.Source == Link.Device || RealPath(Mount.Source) == Link.Device;
    }

    QString FByLabel;
    QString FMountInfo;
};

} // namespace

std::unique_ptr<TVolumes> CreateHostVolumes(const QString& ByLabelFolder, const QString& MountInfoFile)
{
    QString byLabel = ByLabelFolder;
    if (byLabel.isEmpty()) byLabel = EnvironmentVariable(QStringLiteral("OV_DISK_BY_LABEL"));
    if (byLabel.isEmpty()) byLabel = QStringLiteral("/dev/disk/by-label");
    QString mountInfo = MountInfoFile;
    if (mountInfo.isEmpty()) mountInfo = EnvironmentVariable(QStringLiteral("OV_MOUNTINFO"));
    if (mountInfo.isEmpty()) mountInfo = QStringLiteral("/proc/self/mountinfo");
    return std::make_unique<THostVolumes>(byLabel, mountInfo);
}

} // namespace Platform
