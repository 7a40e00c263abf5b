#include "Deflate.h"

#include <zlib.h>

#include <QByteArray>

#include <algorithm>

namespace {

constexpr qsizetype BufferSize = 256 * 1024;

int ZLevel(TZCompressionLevel Level)
{
    switch (Level) {
    case zcNone:
        return 0;
    case zcFastest:
        return 1;
    case zcMax:
        return 9;
    case zcDefault:
        break;
    }
    return Z_DEFAULT_COMPRESSION;
}

} // namespace

std::uint32_t UpdateCrc(std::uint32_t Crc, const char* Data, qint64 Count)
{
    // zlib counts in unsigned int; larger blocks are fed in parts.
    while (Count > 0) {
        const auto part = static_cast<uInt>(std::min<qint64>(Count, 1 << 30));
        Crc = static_cast<std::uint32_t>(::crc32(Crc, reinterpret_cast<const Bytef*>(Data), part));
        Data += part;
        Count -= part;
    }
    return Crc;
}

struct TRawDeflater::TData
{
    z_stream Z{};
    TByteSink Sink;
    QByteArray Out{BufferSize, Qt::Uninitialized};
    int Error = 0;
};

TRawDeflater::TRawDeflater(TZCompressionLevel Level, TByteSink Sink) : D(std::make_unique<TData>())
{
    D->Sink = std::move(Sink);
    deflateInit2(&D->Z, ZLevel(Level), Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
}

TRawDeflater::~TRawDeflater()
{
    deflateEnd(&D->Z);
}

int TRawDeflater::Pump(int Flush)
{
    do {
        D->Z.next_out = reinterpret_cast<Bytef*>(D->Out.data());
        D->Z.avail_out = uInt(D->Out.size());
        deflate(&D->Z, Flush);
        const qint64 produced = D->Out.size() - qint64(D->Z.avail_out);
        if (produced > 0) {
            D->Error = D->Sink(D->Out.constData(), produced);
            if (D->Error) return D->Error;
        }
    } while (D->Z.avail_out == 0);
    return 0;
}

int TRawDeflater::Write(QByteArrayView Data)
{
    if (D->Error) return D->Error;
    const char* p = Data.data();
    qint64 left = Data.size();
    while (left > 0) {
        // avail_in is 32 bits wide.
        const uInt chunk = uInt(std::min<qint64>(left, 1 << 30));
        D->Z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(p));
        D->Z.avail_in = chunk;
        if (const int error = Pump(Z_NO_FLUSH)) return error;
        p += chunk;
        left -= chunk;
    }
    return 0;
}

int TRawDeflater::Finish()
{
    if (D->Error) return D->Error;
    D->Z.next_in = nullptr;
    D->Z.avail_in = 0;
    return Pump(Z_FINISH);
}

struct TRawInflater::TData
{
    z_stream Z{};
    TByteSource Source;
    qint64 Left = 0; // compressed bytes not yet read from the source
    QByteArray In{BufferSize, Qt::Uninitialized};
    bool Ended = false;
    bool Damaged = false;
    bool Failed = false;
};

TRawInflater::TRawInflater(TByteSource Source, qint64 CompressedLength) : D(std::make_unique<TData>())
{
    D->Source = std::move(Source);
    D->Left = std::max<qint64>(0, CompressedLength);
    inflateInit2(&D->Z, -15);
}

TRawInflater::~TRawInflater()
{
    inflateEnd(&D->Z);
}

bool TRawInflater::Damaged() const
{
    return D->Damaged;
}

qint64 TRawInflater::Read(char* Data, qint64 Count)
{
    if (D->Failed || D->Damaged) return -1;
    qint64 done = 0;
    while (done < Count && !D->Ended) {
        if (D->Z.avail_in == 0 && D->Left > 0) {
            const qint64 read = D->Source(D->In.data(), std::min<qint64>(D->Left, D->In.size()));
            if (read <= 0) {
                // A failed read, or a source shorter than its compressed part.
                (read < 0 ? D->Failed : D->Damaged) = true;
                return -1;
            }
            D->Left -= read;
            D->Z.next_in = reinterpret_cast<Bytef*>(D->In.data());
            D->Z.avail_in = uInt(read);
        }
        const uInt want = uInt(std::min<qint64>(Count - done, 1 << 30));
        D->Z.next_out = reinterpret_cast<Bytef*>(Data + done);
        D->Z.avail_out = want;
        const int rc = inflate(&D->Z, Z_NO_FLUSH);
        done += want - D->Z.avail_out;
        if (rc == Z_STREAM_END) {
            D->Ended = true;
        } else if (rc == Z_BUF_ERROR && D->Z.avail_in == 0 && D->Left == 0) {
            // The compressed part ended before the deflate stream did.
            D->Damaged = true;
            return -1;
        } else if (rc != Z_OK && rc != Z_BUF_ERROR) {
            D->Damaged = true;
            return -1;
        }
    }
    return done;
}
