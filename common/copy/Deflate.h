#pragma once
// Raw deflate streams (no zlib header, no Adler-32), the data part of the suite's gzip and zip
// files, and their checksum: compressed output is handed to a sink as it comes, compressed input pulled from
// a source, so a copy holds one buffer whatever the file size.

#include <QByteArrayView>

#include <cstdint>
#include <functional>
#include <memory>

// The CRC-32 of gzip and zip (start with 0) continued over Count bytes.
std::uint32_t UpdateCrc(std::uint32_t Crc, const char* Data, qint64 Count);

// Takes Count bytes; 0, or the system error code of the failed write.
using TByteSink = std::function<int(const char* Data, qint64 Count)>;
// Fills up to Count bytes; the number read (0 at the end), or -1 when reading failed.
using TByteSource = std::function<qint64(char* Data, qint64 Count)>;

// The compression levels of the copy threads.
enum class TZCompressionLevel
{
    zcNone,
    zcFastest,
    zcDefault,
    zcMax,
};
using enum TZCompressionLevel;

class TRawDeflater
{
public:
    explicit TRawDeflater(TZCompressionLevel Level, TByteSink Sink);
    ~TRawDeflater();
    TRawDeflater(const TRawDeflater&) = delete;
    TRawDeflater& operator=(const TRawDeflater&) = delete;

    // 0, or the sink's error code; after an error the stream takes nothing more.
    int Write(QByteArrayView Data);
    // Writes the final block; 0, or the sink's error code.
    int Finish();

private:
    struct TData;
    std::unique_ptr<TData> D;
    int Pump(int Flush);
};

class TRawInflater
{
public:
    // Reads at most CompressedLength bytes from Source.
    TRawInflater(TByteSource Source, qint64 CompressedLength);
    ~TRawInflater();
    TRawInflater(const TRawInflater&) = delete;
    TRawInflater& operator=(const TRawInflater&) = delete;

    // Up to Count decompressed bytes; 0 at the end of the stream, -1 when the source failed or
    // the data is damaged (see Damaged).
    qint64 Read(char* Data, qint64 Count);
    bool Damaged() const;

private:
    struct TData;
    std::unique_ptr<TData> D;
};
