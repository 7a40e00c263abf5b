#pragma once
// System error codes of the host. The suite speaks of Windows error numbers (2 file not found,
// 112 disk full, ...); here each has a named constant holding the host's own code.

#include <QString>

namespace Platform {

extern const int ErrSuccess;
extern const int ErrFileNotFound;     // Windows 2
extern const int ErrPathNotFound;     // Windows 3
extern const int ErrAccessDenied;     // Windows 5
extern const int ErrInvalidHandle;    // Windows 6
extern const int ErrNotEnoughMemory;  // Windows 8
extern const int ErrHandleEof;        // Windows 38
extern const int ErrFileExists;       // Windows 80
extern const int ErrInvalidParameter; // Windows 87
extern const int ErrDiskFull;         // Windows 112
extern const int ErrNotSupported;     // Windows 50
extern const int ErrNotifyEnumDir;    // Windows 1022: change notifications overflowed

// The code of the last failed system call of this thread.
int LastError();
// The operating system's own text for a code, without a trailing full stop or line break.
QString SysErrorMessage(int Code);

} // namespace Platform
