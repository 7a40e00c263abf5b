#include "DriveUtils.h"

#include "platform/PathRules.h"

namespace {

bool IsDelimiterAnyForm(QChar C)
{
    return C == QLatin1Char('\\') || C == QLatin1Char('/');
}

bool HasDriveLetter(const QString& Path)
{
    return Path.size() >= 2 && Path.at(1) == QLatin1Char(':') && Path.at(0).unicode() < 128 &&
           Path.at(0).isLetter();
}

bool IsUncPath(const QString& Path)
{
    return Path.startsWith(QLatin1String("\\\\"));
}

QString WithoutRoot(const QString& MountPoint)
{
    return MountPoint == QLatin1String("/") ? QString() : MountPoint;
}

} // namespace

bool SplitVolumeLabelPath(const QString& Path, QString& Label, QString& Rest)
{
    if (!Path.startsWith(QLatin1Char(':'))) return false;
    const qsizetype close = Path.indexOf(QLatin1Char(':'), 1);
    if (close < 2) return false; // no label
    Label = Path.mid(1, close - 1);
    Rest = Path.mid(close + 1);
    return true;
}

bool IsVolumeLabelPath(const QString& Path)
{
    QString label, rest;
    return SplitVolumeLabelPath(Path, label, rest);
}

TVolumeResolve ResolveVolumeLabelPath(const QString& Path, QString& Resolved, Platform::TVolumes& Volumes)
{
    QString label, rest;
    if (!SplitVolumeLabelPath(Path, label, rest)) {
        Resolved = Path;
        return TVolumeResolve::NotLabelForm;
    }
    Platform::TVolumeInfo info;
    if (!Volumes.FindLabel(label, info)) {
        Resolved.clear();
        return TVolumeResolve::VolumeMissing;
    }
    if (!rest.isEmpty() && IsDelimiterAnyForm(rest.at(0))) rest.remove(0, 1);
    const QString mount = WithoutRoot(info.MountPoint);
    Resolved =
        rest.isEmpty() ? (mount.isEmpty() ? QStringLiteral("/") : mount) : mount + QLatin1Char('/') + rest;
    return TVolumeResolve::Resolved;
}

QString ExtractFileDrive(const QString& Path)
{
    if (HasDriveLetter(Path)) return Path.left(2);
    if (IsUncPath(Path)) {
        // "\\server\share": up to the delimiter after the share's name.
        const qsizetype server = Path.indexOf(QLatin1Char('\\'), 2);
        if (server < 0) return Path;
        const qsizetype share = Path.indexOf(QLatin1Char('\\'), server + 1);
        return share < 0 ? Path : Path.left(share);
    }
    return QString();
}

QString DestinationDrive(const QString& Path, Platform::TVolumes& Volumes)
{
    const QString drive = ExtractFileDrive(Path);
    if (!drive.isEmpty()) return drive;
    Platform::TVolumeInfo info;
    QString label, rest;
    if (SplitVolumeLabelPath(Path, label, rest))
        return Volumes.FindLabel(label, info) ? WithoutRoot(info.MountPoint) : QString();
    if (Platform::IsAbsolutePath(Path) && Volumes.VolumeOfPath(Path, info))
        return WithoutRoot(info.MountPoint);
    return QString();
}

QString DestinationVolumeLabel(const QString& Path, Platform::TVolumes& Volumes)
{
    Platform::TVolumeInfo info;
    QString label, rest;
    if (SplitVolumeLabelPath(Path, label, rest))
        return Volumes.FindLabel(label, info) ? info.Label : QString();
    if (Platform::IsAbsolutePath(Path) && !IsUncPath(Path) && Volumes.VolumeOfPath(Path, info))
        return info.Label;
    return QString();
}

bool IsAbsolutePathAnyForm(const QString& Path)
{
    return Platform::IsAbsolutePath(Path) || IsUncPath(Path) ||
           (HasDriveLetter(Path) && Path.size() >= 3 && IsDelimiterAnyForm(Path.at(2)));
}
