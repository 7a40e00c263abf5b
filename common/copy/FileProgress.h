#pragma once
// The progress protocol of the copy engine: what a report is about, and the callback that receives it.

#include <QtGlobal>

#include <functional>

enum class TFileAction : int
{
    acNone,
    acCopy,
    acCompress,
    acUnCompress,
    acEncrypt,
    acDecrypt,
    acVerify,
    acZipVerify,
    acAddVerify,
    acFtpWrite,
    acFtpRead,
    acScan,
    acZipCopy,
    acSegmentCopy,
    acPrepare,
};
using enum TFileAction;

// AAction: the kind of work; ACount: bytes done so far; ASpeedLimit: whether a speed limit applies.
using TFileProgressEvent = std::function<void(TFileAction AAction, qint64 ACount, bool ASpeedLimit)>;
