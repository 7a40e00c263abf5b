// Feeds arbitrary bytes to the readers of the gzip and zip headers and to the inflater, as a
// verification reads a damaged or foreign file: nothing may crash or point beyond the file.
#include "copy/Deflate.h"
#include "copy/GZipFormat.h"
#include "copy/ZipFormat.h"

#include <QByteArray>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void Inflate(const QByteArray& File, qint64 Offset, qint64 Length)
{
    qint64 at = Offset;
    TRawInflater in(
        [&](char* P, qint64 N) {
            const qint64 n = std::min<qint64>(N, File.size() - at);
            if (n < 0) std::abort(); // the inflater asked for bytes beyond its part
            std::memcpy(P, File.constData() + at, size_t(n));
            at += n;
            return n;
        },
        Length);
    char buffer[4096];
    qint64 total = 0;
    // Deflate expands at most about 1032:1; stop well before that to keep each run short.
    while (total < 1 << 22) {
        const qint64 n = in.Read(buffer, sizeof buffer);
        if (n <= 0) break;
        total += n;
    }
    if (at > Offset + Length) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    const QByteArray file(reinterpret_cast<const char*>(Data), static_cast<qsizetype>(Size));

    TGZipInfo gzip;
    if (ParseGZipHeader(file, file.size(), gzip) == TGZipParse::Ok) {
        if (gzip.DataOffset > file.size() || gzip.StoredSize < 0 ||
            gzip.DataOffset + gzip.StoredSize > file.size())
            std::abort();
        Inflate(file, gzip.DataOffset, file.size() - gzip.DataOffset - GZipTrailerSize);
    }

    TZipLocalInfo zip;
    if (ParseZipLocalHeader(file, zip) == TZipParse::Ok) {
        if (zip.DataOffset > file.size() || zip.StoredSize < 0 || zip.UncompressedSize < 0) std::abort();
        Inflate(file, zip.DataOffset, std::min<qint64>(zip.StoredSize, file.size() - zip.DataOffset));
    }
    return 0;
}
