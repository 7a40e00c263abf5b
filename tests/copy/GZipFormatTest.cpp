#include "copy/GZipFormat.h"

#include "ArchiveAssembly.h"
#include "fixtures/PeerTools.h"
#include "fixtures/TestFiles.h"

#include <QtEndian>
#include <gtest/gtest.h>

using namespace Platform;

namespace {

// 2021-03-04 05:06:08 UTC
constexpr TFileTime SampleTime = UnixEpochAsFileTime + 1614834368LL * FileTimeTicksPerSecond;

TEST(GZipFormat, HeaderHoldsTheSizeSubfieldKeyModeAndName)
{
    const QByteArray plain = GZipHeader(QStringLiteral("a.txt"), 0, SampleTime);
    const QByteArray expected = QByteArray::fromHex("1f8b080c"
                                                    "c06a4060"
                                                    "0000"
                                                    "1400"
                                                    "0100"
                                                    "1000"
                                                    "0000000000000000"
                                                    "0000000000000000") +
                                QByteArray("a.txt", 6);
    EXPECT_EQ(plain.toHex().toStdString(), expected.toHex().toStdString());

    const QByteArray encrypted = GZipHeader(QString(), 3, SampleTime);
    EXPECT_EQ(encrypted.toHex().toStdString(), QByteArray::fromHex("1f8b0824"
                                                                   "c06a4060"
                                                                   "0000"
                                                                   "1a00"
                                                                   "0100"
                                                                   "1000"
                                                                   "0000000000000000"
                                                                   "0000000000000000"
                                                                   "5851"
                                                                   "0200"
                                                                   "0300")
                                                   .toHex()
                                                   .toStdString());

    EXPECT_EQ(GZipSizes(0x0102030405LL, 7).toHex().toStdString(), "05040302010000000700000000000000");
    EXPECT_EQ(GZipTrailer(0xAABBCCDD, 0x100000005LL).toHex().toStdString(), "ddccbbaa05000000");
}

TEST(GZipFormat, NameCodePage)
{
    struct TCase
    {
        QString Name;
        char Os;
        QByteArray Stored;
    };
    const TCase cases[] = {
        {QStringLiteral("plain.txt"), 0, "plain.txt"},
        {QStringLiteral("b\u00E1d.txt"), 0,
         "b\xE1"
         "d.txt"},                                              // below U+0100: the code page
        {QStringLiteral("\u03A9.txt"), 11, "\xCE\xA9.txt"},     // above: UTF-8
        {QStringLiteral("\u20AC.txt"), 11, "\xE2\x82\xAC.txt"}, // above U+00FF though the code page has it
        {QStringLiteral("\u0080.txt"), 11, "\xC2\x80.txt"},     // below, but no byte in the code page
    };
    for (const TCase& c : cases) {
        const QByteArray h = GZipHeader(c.Name, 0, SampleTime);
        EXPECT_EQ(h[9], c.Os) << qPrintable(c.Name);
        EXPECT_EQ(h.mid(32), c.Stored + '\0') << qPrintable(c.Name);
        TGZipInfo info;
        ASSERT_EQ(ParseGZipHeader(h, h.size() + 100, info), TGZipParse::Ok);
        EXPECT_EQ(info.Name, c.Name);
    }
    EXPECT_EQ(GZipHeader(QString(), 0, SampleTime)[3], '\x04'); // no name flag, no name
}

TEST(GZipFormat, ParseReadsOursAndForeignHeaders)
{
    const QByteArray data = SampleData(5000);
    const QByteArray ours = AssembleGZip(QStringLiteral("n.txt"), data, SampleTime);
    TGZipInfo info;
    ASSERT_EQ(ParseGZipHeader(ours, ours.size(), info), TGZipParse::Ok);
    EXPECT_TRUE(info.HasSizes);
    EXPECT_EQ(info.UncompressedSize, 5000);
    EXPECT_EQ(info.DataOffset, 38);
    EXPECT_EQ(info.StoredSize, ours.size() - 38 - 8);
    EXPECT_EQ(info.KeyMode, 0);

    // The key mode counts only with the encryption flag.
    QByteArray keyed = GZipHeader(QStringLiteral("k"), 2, SampleTime);
    ASSERT_EQ(ParseGZipHeader(keyed, keyed.size() + 50, info), TGZipParse::Ok);
    EXPECT_EQ(info.KeyMode, 2);
    keyed[3] = char(keyed[3] & ~GZipFlagEncrypted);
    ASSERT_EQ(ParseGZipHeader(keyed, keyed.size() + 50, info), TGZipParse::Ok);
    EXPECT_EQ(info.KeyMode, 0);

    // gzip's own header: name and no size subfield.
    TTestDir dir;
    const QString source = dir.Write(QStringLiteral("foreign.txt"), data);
    const TToolResult gz =
        RunTool(QStringLiteral("gzip"), {QStringLiteral("-c"), QStringLiteral("-N"), source});
    ASSERT_EQ(gz.ExitCode, 0);
    ASSERT_EQ(ParseGZipHeader(gz.Out, gz.Out.size(), info), TGZipParse::Ok);
    EXPECT_FALSE(info.HasSizes);
    EXPECT_EQ(info.Name, QStringLiteral("foreign.txt"));
    EXPECT_EQ(info.DataOffset + info.StoredSize + 8, gz.Out.size());
}

TEST(GZipFormat, DamagedHeadersAreRefused)
{
    const QByteArray good = AssembleGZip(QStringLiteral("n.txt"), SampleData(100), SampleTime);
    auto parse = [](const QByteArray& Bytes, qint64 FileSize = -1) {
        TGZipInfo info;
        return ParseGZipHeader(Bytes, FileSize < 0 ? Bytes.size() : FileSize, info);
    };
    QByteArray badMagic = good;
    badMagic[0] = 'x';
    QByteArray noNameEnd = good.left(38 + 3);
    QByteArray hugeSizes = good;
    hugeSizes.replace(GZipSizesOffset, 16, GZipSizes(1LL << 40, 5));
    QByteArray negative = good;
    negative.replace(GZipSizesOffset, 16, QByteArray(16, '\xFF'));
    QByteArray longSubfield = good;
    qToLittleEndian<quint16>(400, longSubfield.data() + 14); // subfield beyond the extra field: skipped

    EXPECT_EQ(parse(badMagic), TGZipParse::BadMagic);
    EXPECT_EQ(parse(good.left(9)), TGZipParse::Unreadable);
    EXPECT_EQ(parse(good.left(20)), TGZipParse::Unreadable); // the extra field is cut off
    EXPECT_EQ(parse(noNameEnd), TGZipParse::Unreadable);
    EXPECT_EQ(parse(hugeSizes), TGZipParse::Unreadable);
    EXPECT_EQ(parse(negative), TGZipParse::Unreadable);
    EXPECT_EQ(parse(good.left(40), 41), TGZipParse::Unreadable); // no room for the trailer
    EXPECT_EQ(parse(longSubfield), TGZipParse::Ok);
    EXPECT_EQ(parse(QByteArray()), TGZipParse::Unreadable);
}

TEST(GZipFormat, PeerToolsReadWhatTheHeadersDescribe)
{
    TTestDir dir;
    const QByteArray data = SampleData(300000);
    for (const QString& name : {QStringLiteral("plain.txt"), QStringLiteral("\u00E1\u03A9.txt"), QString()}) {
        const QString file = dir.Write(QStringLiteral("out.gz"), AssembleGZip(name, data, SampleTime));
        const TToolResult test = RunTool(QStringLiteral("gzip"), {QStringLiteral("-t"), file});
        EXPECT_EQ(test.ExitCode, 0) << test.Text().toStdString();
        const TToolResult unpacked = RunTool(QStringLiteral("gzip"), {QStringLiteral("-dc"), file});
        EXPECT_TRUE(unpacked.Out == data);
        const TToolResult seven = RunTool(QStringLiteral("7zz"), {QStringLiteral("t"), file});
        EXPECT_EQ(seven.ExitCode, 0) << seven.Text().toStdString();
        EXPECT_FALSE(seven.Text().contains(QStringLiteral("WARNING")) ||
                     seven.Text().contains(QStringLiteral("Headers Error")))
            << seven.Text().toStdString();
    }
    // The time in the header is the source's write time.
    const QString file =
        dir.Write(QStringLiteral("t.gz"), AssembleGZip(QStringLiteral("t"), data, SampleTime));
    const TToolResult mtime = RunPython(QStringLiteral("import gzip,sys\n"
                                                       "f=gzip.open(sys.argv[1]); f.read(); print(f.mtime)"),
                                        {file});
    EXPECT_EQ(mtime.Out.trimmed(), "1614834368") << mtime.Text().toStdString();
}

} // namespace
