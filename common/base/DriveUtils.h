#pragma once
// Drives and volume labels in destination paths. A destination may name its volume by label
// (":BACKUP:\data" or ":BACKUP:/data": the volume labelled BACKUP, whatever its drive or mount point);
// on this host a volume's "drive" is its mount point. The Windows forms ("C:\x", "\\server\share\x")
// are recognised as text, so task files written on Windows read the same here.

#include "platform/Volumes.h"

#include <QString>

// Splits the volume-label form; false for any other path. Rest keeps its leading delimiter.
bool SplitVolumeLabelPath(const QString& Path, QString& Label, QString& Rest);
bool IsVolumeLabelPath(const QString& Path);

enum class TVolumeResolve
{
    NotLabelForm,  // Resolved is Path as it stands
    Resolved,      // Resolved is the path on the mounted volume
    VolumeMissing, // no mounted volume carries the label; Resolved is empty
};

// Turns the volume-label form into a path on the volume that carries the label (compared without
// regard to case).
TVolumeResolve ResolveVolumeLabelPath(const QString& Path, QString& Resolved,
                                      Platform::TVolumes& Volumes = Platform::Volumes());

// The drive part as Windows writes it: "C:" for "C:\x", "\\server\share" for "\\server\share\x";
// empty for any other path.
QString ExtractFileDrive(const QString& Path);
// The drive of a destination: the Windows drive part, else for an absolute path of this host the
// mount point of its volume ("" for the root, so that "%drive%/x" stays "/x"), for the volume-label
// form the mount point of that volume; empty otherwise.
QString DestinationDrive(const QString& Path, Platform::TVolumes& Volumes = Platform::Volumes());
// The label of a destination's volume: the label of the volume-label form when that volume is
// mounted, the label of the volume that holds an absolute path of this host; empty otherwise.
QString DestinationVolumeLabel(const QString& Path, Platform::TVolumes& Volumes = Platform::Volumes());

// An absolute path of this host or of Windows ("C:\x", "\\server\x").
bool IsAbsolutePathAnyForm(const QString& Path);
