// The parts of the volume layer that do not ask the host: the stand-in table and its installation.
#include "Volumes.h"

#include <atomic>
#include <cstdlib>

namespace Platform {

namespace {

std::atomic<TVolumes*> InstalledVolumes{nullptr};

// Whether Path lies in the folder MountPoint (or is it).
bool IsBelow(const QString& Path, const QString& MountPoint)
{
    if (MountPoint == QLatin1String("/")) return Path.startsWith(QLatin1Char('/'));
    return Path == MountPoint ||
           (Path.startsWith(MountPoint) && Path.at(MountPoint.size()) == QLatin1Char('/'));
}

} // namespace

TVolumes& Volumes()
{
    if (TVolumes* v = InstalledVolumes.load(std::memory_order_acquire)) return *v;
    static const std::unique_ptr<TVolumes> host = CreateHostVolumes();
    return *host;
}

TScopedVolumes::TScopedVolumes(TVolumes& StandIn)
{
    TVolumes* expected = nullptr;
    if (!InstalledVolumes.compare_exchange_strong(expected, &StandIn))
        std::abort(); // two stand-ins at once is a fault of the test
}

TScopedVolumes::~TScopedVolumes()
{
    InstalledVolumes.store(nullptr);
}

void TVolumeTable::Add(const QString& MountPoint, const QString& Label)
{
    FVolumes.append({MountPoint, Label});
}

bool TVolumeTable::FindLabel(const QString& Label, TVolumeInfo& Info)
{
    for (const TVolumeInfo& v : FVolumes) {
        if (!v.Label.isEmpty() && v.Label.compare(Label, Qt::CaseInsensitive) == 0) {
            Info = v;
            return true;
        }
    }
    return false;
}

bool TVolumeTable::VolumeOfPath(const QString& Path, TVolumeInfo& Info)
{
    qsizetype best = -1;
    for (const TVolumeInfo& v : FVolumes) {
        if (IsBelow(Path, v.MountPoint) && v.MountPoint.size() > best) {
            best = v.MountPoint.size();
            Info = v;
        }
    }
    return best >= 0;
}

} // namespace Platform
