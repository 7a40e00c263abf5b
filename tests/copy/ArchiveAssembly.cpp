#include "ArchiveAssembly.h"

#include "copy/GZipFormat.h"
#include "copy/ZipFormat.h"

#include <zlib.h>

QByteArray RawDeflate(const QByteArray& Data, int Level)
{
    z_stream z{};
    deflateInit2(&z, Level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    QByteArray out(qsizetype(deflateBound(&z, uLong(Data.size()))), Qt::Uninitialized);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(Data.constData()));
    z.avail_in = uInt(Data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.truncate(qsizetype(z.total_out));
    deflateEnd(&z);
    return out;
}

quint32 Crc32(const QByteArray& Data)
{
    return quint32(crc32(0, reinterpret_cast<const Bytef*>(Data.constData()), uInt(Data.size())));
}

QByteArray SampleData(qsizetype Size)
{
    QByteArray data(Size, Qt::Uninitialized);
    quint32 x = 12345;
    for (qsizetype i = 0; i < Size; ++i) {
        x = x * 1103515245u + 12345u;
        data[i] = char("abcdefgh \n"[(x >> 16) % 10]);
    }
    return data;
}

QByteArray AssembleGZip(const QString& Name, const QByteArray& Data, qint64 LastWriteTime)
{
    QByteArray file = GZipHeader(Name, 0, LastWriteTime);
    const qsizetype dataStart = file.size();
    file += RawDeflate(Data);
    const qint64 stored = file.size() - dataStart;
    file += GZipTrailer(Crc32(Data), Data.size());
    file.replace(GZipSizesOffset, 16, GZipSizes(stored, Data.size()));
    return file;
}

QByteArray AssembleZip(const QString& Name, const QByteArray& Data, bool Deflate, qint64 LastWriteTime,
                       quint16 Attributes)
{
    TZipEntry e;
    e.Name = Name;
    e.DosTime = ZipDosTime(LastWriteTime);
    e.Attributes = Attributes;
    e.SourceSize = Data.size();
    e.Deflated = Deflate && !Data.isEmpty();
    QByteArray file = ZipLocalHeader(e);
    const qsizetype headerSize = file.size();
    const QByteArray stored = e.Deflated ? RawDeflate(Data) : Data;
    file += stored;
    e.Crc = Crc32(Data);
    e.StoredSize = stored.size();
    e.UncompressedSize = Data.size();
    file.replace(0, headerSize, ZipLocalHeader(e));
    const qint64 directory = file.size();
    const QByteArray central = ZipCentralHeader(e);
    file += central;
    file += ZipEndRecords(directory, central.size());
    return file;
}

QString ReferenceScript()
{
    return qEnvironmentVariable("OV_SOURCE_DIR") + QStringLiteral("/tests/copy/wzaes_reference.py");
}
