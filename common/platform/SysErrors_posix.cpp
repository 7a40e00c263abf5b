#include "SysErrors.h"

#include <cerrno>
#include <cstring>

namespace Platform {

const int ErrSuccess = 0;
const int ErrFileNotFound = ENOENT;
const int ErrPathNotFound = ENOTDIR;
const int ErrAccessDenied = EACCES;
const int ErrInvalidHandle = EBADF;
const int ErrNotEnoughMemory = ENOMEM;
const int ErrHandleEof = ENODATA;
const int ErrFileExists = EEXIST;
const int ErrInvalidParameter = EINVAL;
const int ErrDiskFull = ENOSPC;
const int ErrNotSupported = EOPNOTSUPP;
const int ErrNotifyEnumDir = EOVERFLOW;

int LastError()
{
    return errno;
}

QString SysErrorMessage(int Code)
{
    char buf[256];
    // GNU strerror_r returns the text, which need not be in buf.
    const char* text = strerror_r(Code, buf, sizeof buf);
    return QString::fromLocal8Bit(text);
}

} // namespace Platform
