#pragma once
// Copy error codes: a step result (low byte: the message, bits 8 to 11: the severity) combined with
// the operation context in bits 12 to 15. Callers add their own codes in the same scheme.

#include <QString>

// Operation contexts (a thread's ErrorType).
inline constexpr int etCopy = 0x1000;
inline constexpr int etGZip = 0x2000;
inline constexpr int etGUnzip = 0x3000;
inline constexpr int etZip = 0x4000;
inline constexpr int etEncrypt = 0x5000;
inline constexpr int etDecrypt = 0x6000;
inline constexpr int etUnzip = 0x7000;

// Step results of the copy engine.
inline constexpr int ceHeaderUnreadable = 0x004; // an archive header could not be read
inline constexpr int ceZipWrite = 0x005;         // a zip header or record could not be written
inline constexpr int ceBadHeader = 0x008;        // not the archive format expected
inline constexpr int ceUserBreak = 0x080;        // cancelled
inline constexpr int ceCreateDest = 0x101;       // destination could not be created
inline constexpr int ceOpenSource = 0x102;       // source could not be opened
inline constexpr int ceRead = 0x104;             // reading the source failed
inline constexpr int ceWrite = 0x105;            // writing the destination failed
inline constexpr int ceClearAttributes = 0x106;  // the attributes of an existing destination
inline constexpr int ceDiskFull = 0x107;
inline constexpr int ceEncrypt = 0x10A;
inline constexpr int ceVerify = 0x10C;
inline constexpr int ceNotFound = 0x10E;   // source not found
inline constexpr int ceVerifyOpen = 0x116; // destination not available for verification
inline constexpr int ceUnsupported = 0x122;
// Warnings: the data was written completely, a finishing step failed.
inline constexpr int ceSetAttributes = 0x206;
inline constexpr int ceSetTimeStamp = 0x20F;
inline constexpr int ceCopyStorage = 0x210;
inline constexpr int cePermissions = 0x213;
inline constexpr int ceAltStreams = 0x225;

inline constexpr bool IsCopyWarning(int ErrorCode)
{
    return (ErrorCode & 0x0F00) == 0x0200;
}

// The text of an error code for logs and message boxes, naming FileName (may be empty) and
// adding SysText (the system or exception text, may be empty).
QString CopyErrorText(int ErrorCode, const QString& FileName, const QString& SysText);

// "System error: <the system's text> (0x<code>)".
QString SysErrorText(int Code);
