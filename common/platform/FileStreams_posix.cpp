// Side streams are extended attributes named the way Samba's streams_xattr module names them, so a
// share exported by Samba shows them as the streams they were on Windows. Access control lists are
// POSIX access ACLs.

#include "FileStreams.h"

#include "FaultInjection.h"

#include <QFile>

#include <acl/libacl.h>
#include <cerrno>
#include <sys/acl.h>
#include <sys/xattr.h>

namespace Platform {

namespace {

constexpr char StreamPrefix[] = "user.DosStream.";
constexpr char StreamSuffix[] = ":$DATA";

QByteArray AttributeName(const QString& Stream)
{
    return QByteArray(StreamPrefix) + Stream.toUtf8() + StreamSuffix;
}

} // namespace

int ListAltStreams(const QString& Path, QStringList& Names)
{
    Names.clear();
    const QByteArray path = QFile::encodeName(Path);
    QByteArray list;
    for (;;) {
        const ssize_t size = ::listxattr(path.constData(), nullptr, 0);
        if (size < 0) return errno == ENOTSUP ? 0 : errno; // no attributes, so no streams
        list.resize(size);
        const ssize_t got = ::listxattr(path.constData(), list.data(), static_cast<size_t>(list.size()));
        if (got >= 0) {
            list.truncate(got);
            break;
        }
        if (errno != ERANGE) return errno; // grown since the first call: ask again
    }
    for (const QByteArray& name : list.split('\0')) {
        if (!name.startsWith(StreamPrefix) || !name.endsWith(StreamSuffix)) continue;
        const QByteArray stream =
            name.mid(sizeof StreamPrefix - 1,
                     name.size() - qsizetype(sizeof StreamPrefix - 1) - qsizetype(sizeof StreamSuffix - 1));
        if (!stream.isEmpty()) Names.append(QString::fromUtf8(stream));
    }
    return 0;
}

int ReadAltStream(const QString& Path, const QString& Name, QByteArray& Data)
{
    Data.clear();
    const QByteArray path = QFile::encodeName(Path);
    const QByteArray attr = AttributeName(Name);
    for (;;) {
        const ssize_t size = ::getxattr(path.constData(), attr.constData(), nullptr, 0);
        if (size < 0) return errno;
        Data.resize(size);
        const ssize_t got =
            ::getxattr(path.constData(), attr.constData(), Data.data(), static_cast<size_t>(Data.size()));
        if (got >= 0) {
            Data.truncate(got);
            return 0;
        }
        if (errno != ERANGE) return errno;
    }
}

int WriteAltStream(const QString& Path, const QString& Name, const QByteArray& Data)
{
    if (const TFault f = CheckFault(TFileOp::WriteStream, Path + QLatin1Char(':') + Name); f.Error) {
        errno = f.Error;
        return f.Error;
    }
    const QByteArray path = QFile::encodeName(Path);
    const QByteArray attr = AttributeName(Name);
    return ::setxattr(path.constData(), attr.constData(), Data.constData(), static_cast<size_t>(Data.size()),
                      0) != 0
               ? errno
               : 0;
}

int CopyAccessControl(const QString& From, const QString& To)
{
    if (const TFault f = CheckFault(TFileOp::SetSecurity, To); f.Error) {
        errno = f.Error;
        return f.Error;
    }
    const QByteArray from = QFile::encodeName(From);
    const QByteArray to = QFile::encodeName(To);
    // Without ACL support the list is built from the permission bits, so this copies those.
    acl_t acl = ::acl_get_file(from.constData(), ACL_TYPE_ACCESS);
    if (!acl) return errno;
    const int result = ::acl_set_file(to.constData(), ACL_TYPE_ACCESS, acl) != 0 ? errno : 0;
    ::acl_free(acl);
    return result;
}

} // namespace Platform
