#pragma once
// Volume labels: which mounted file system carries a label, and which file system holds a path.
// The suite's destinations may name a volume by its label (":BACKUP:\data") instead of its drive;
// here a volume is a mounted file system and its "drive" is its mount point.
//
// The host's answer comes from /dev/disk/by-label and /proc/self/mountinfo ($OV_DISK_BY_LABEL and
// $OV_MOUNTINFO name other ones, for tests of whole programs). A test that must not depend on the
// machine's disks installs a TVolumeTable with TScopedVolumes, or hands one to the functions that take
// a TVolumes.

#include <QList>
#include <QString>

#include <memory>

namespace Platform {

struct TVolumeInfo
{
    QString MountPoint; // without a trailing delimiter, except the root "/"
    QString Label;      // empty when the file system has none
};

class TVolumes
{
public:
    virtual ~TVolumes() = default;
    // The mounted file system whose label equals Label without regard to case; false when none is.
    virtual bool FindLabel(const QString& Label, TVolumeInfo& Info) = 0;
    // The mounted file system that holds Path (an absolute path; it need not exist yet); false when
    // none does.
    virtual bool VolumeOfPath(const QString& Path, TVolumeInfo& Info) = 0;
};

// The installed stand-in, else the host's volumes.
TVolumes& Volumes();

// The host's volumes read from the given files (the defaults are the real ones, or the folders the
// environment variables above name).
std::unique_ptr<TVolumes> CreateHostVolumes(const QString& ByLabelFolder = QString(),
                                            const QString& MountInfoFile = QString());

// A stand-in: a fixed table of mounted volumes.
class TVolumeTable : public TVolumes
{
public:
    void Add(const QString& MountPoint, const QString& Label);
    bool FindLabel(const QString& Label, TVolumeInfo& Info) override;
    bool VolumeOfPath(const QString& Path, TVolumeInfo& Info) override;

private:
    QList<TVolumeInfo> FVolumes;
};

// Makes Volumes() return Stand-in for its lifetime; one at a time.
class TScopedVolumes
{
public:
    explicit TScopedVolumes(TVolumes& StandIn);
    ~TScopedVolumes();
    TScopedVolumes(const TScopedVolumes&) = delete;
    TScopedVolumes& operator=(const TScopedVolumes&) = delete;
};

// Parsing helpers of the host implementation, open for tests.
namespace VolumeParsing {
// A name of /dev/disk/by-label, with udev's "\x20" escapes decoded.
QString DecodeUdevName(const QByteArray& Name);
// The mount-point and source fields of /proc/self/mountinfo, with "\040" escapes decoded.
QString DecodeMountField(const QByteArray& Field);

struct TMountEntry
{
    unsigned Major = 0;
    unsigned Minor = 0;
    QString Root; // the folder of the file system that is mounted ("/" for all of it)
    QString MountPoint;
    QString FsType;
    QString Source; // the device, as the kernel names it
};
QList<TMountEntry> ParseMountInfo(const QByteArray& Content);
} // namespace VolumeParsing

} // namespace Platform
