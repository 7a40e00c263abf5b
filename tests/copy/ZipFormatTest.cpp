#include "copy/ZipFormat.h"

#include "ArchiveAssembly.h"
#include "fixtures/PeerTools.h"
#include "fixtures/TestFiles.h"

#include <QDateTime>
#include <QtEndian>
#include <gtest/gtest.h>

using namespace Platform;

namespace {

constexpr TFileTime SampleTime = UnixEpochAsFileTime + 1614834368LL * FileTimeTicksPerSecond;

quint16 U16(const QByteArray& B, qsizetype At)
{
    return qFromLittleEndian<quint16>(B.constData() + At);
}
quint32 U32(const QByteArray& B, qsizetype At)
{
    return qFromLittleEndian<quint32>(B.constData() + At);
}
quint64 U64(const QByteArray& B, qsizetype At)
{
    return qFromLittleEndian<quint64>(B.constData() + At);
}

TEST(ZipFormat, NamesGoToCodePage437OnlyWhenTheTableHasEveryCharacter)
{
    struct TCase
    {
        QString Name;
        bool Utf8;
        QByteArray Stored;
    };
    const TCase cases[] = {
        {QStringLiteral("plain.txt"), false, "plain.txt"},
        {QStringLiteral("\u00C4rger \u00DF.txt"), false,
         "\x8E"
         "rger \xE1.txt"},
        {QStringLiteral("\u00A7.txt"), true, "\xC2\xA7.txt"}, // its table entry is a control code
        {QStringLiteral("b\u00E1d.txt"), true,
         "b\xC3\xA1"
         "d.txt"}, // no place for a-acute in the table
        {QStringLiteral("\u20AC.txt"), true, "\xE2\x82\xAC.txt"},
        {QStringLiteral("\u03A9.txt"), true, "\xCE\xA9.txt"},
    };
    for (const TCase& c : cases) {
        bool utf8 = !c.Utf8;
        EXPECT_EQ(ZipEncodeName(c.Name, utf8).toHex().toStdString(), c.Stored.toHex().toStdString())
            << qPrintable(c.Name);
        EXPECT_EQ(utf8, c.Utf8) << qPrintable(c.Name);
        EXPECT_EQ(ZipDecodeName(c.Stored, c.Utf8), c.Name);
    }
    // Code page 437 names of other programs outside the table.
    EXPECT_EQ(ZipDecodeName("\xA0\xE0\xB0", false), QStringLiteral("\u00E1\u03B1\u2591"));
}

TEST(ZipFormat, HeadersOfEachKindOfEntry)
{
    TZipEntry e;
    e.Name = QStringLiteral("f.bin");
    e.DosTime = 0x52640A84;
    e.Attributes = 0x21;
    e.SourceSize = 1000;
    e.Deflated = true;
    e.Crc = 0xCAFEBABE;
    e.StoredSize = 600;
    e.UncompressedSize = 1000;

    const QByteArray deflated = ZipLocalHeader(e);
    EXPECT_EQ(deflated.toHex().toStdString(), (QByteArray::fromHex("504b0304"
                                                                   "1400"
                                                                   "8200"
                                                                   "0800"
                                                                   "840a6452"
                                                                   "bebafeca"
                                                                   "58020000"
                                                                   "e8030000"
                                                                   "0500"
                                                                   "0000") +
                                               "f.bin")
                                                  .toHex()
                                                  .toStdString());
    const QByteArray central = ZipCentralHeader(e);
    EXPECT_EQ(central.toHex().toStdString(), (QByteArray::fromHex("504b0102"
                                                                  "1400"
                                                                  "1400"
                                                                  "8200"
                                                                  "0800"
                                                                  "840a6452"
                                                                  "bebafeca"
                                                                  "58020000"
                                                                  "e8030000"
                                                                  "0500"
                                                                  "0000"
                                                                  "0000"
                                                                  "0000"
                                                                  "0000"
                                                                  "21000000"
                                                                  "00000000") +
                                              "f.bin")
                                                 .toHex()
                                                 .toStdString());

    // Encrypted: AE-1 keeps the CRC, AE-2 (below 20 bytes) stores 0; the AES field comes last.
    e.KeyMode = 3;
    QByteArray ae1 = ZipLocalHeader(e);
    EXPECT_EQ(U16(ae1, 4), 51);
    EXPECT_EQ(U16(ae1, 6), 0x0081);
    EXPECT_EQ(U16(ae1, 8), 99);
    EXPECT_EQ(U32(ae1, 14), 0xCAFEBABE);
    EXPECT_EQ(ae1.mid(35).toHex().toStdString(), "0199070001004145030800");
    e.SourceSize = 19;
    const QByteArray ae2 = ZipLocalHeader(e);
    EXPECT_EQ(U32(ae2, 14), 0u);
    EXPECT_EQ(ae2.mid(35).toHex().toStdString(), "0199070002004145030800");
    EXPECT_EQ(U32(ZipCentralHeader(e), 16), 0u);
    // Flags and extra fields agree between the two headers.
    EXPECT_EQ(U16(ae2, 6), U16(ZipCentralHeader(e), 8));
    EXPECT_EQ(ZipCentralHeader(e).mid(46 + 5), ae2.mid(30 + 5));
}

TEST(ZipFormat, Zip64AboveTheThresholdNotAt4GiB)
{
    TZipEntry e;
    e.Name = QStringLiteral("big");
    e.SourceSize = Zip64Threshold + 1;
    e.Deflated = false;
    e.StoredSize = e.UncompressedSize = e.SourceSize;
    const QByteArray local = ZipLocalHeader(e);
    EXPECT_EQ(U16(local, 4), 45);
    EXPECT_EQ(U32(local, 18), 0xFFFFFFFFu);
    EXPECT_EQ(U32(local, 22), 0xFFFFFFFFu);
    EXPECT_EQ(U16(local, 28), 20);
    EXPECT_EQ(U16(local, 33), 1);
    EXPECT_EQ(U16(local, 35), 16);
    EXPECT_EQ(qint64(U64(local, 37)), e.SourceSize);
    EXPECT_EQ(qint64(U64(local, 45)), e.SourceSize);
    // Both sizes fit in 32 bits: the central Zip64 field is empty.
    const QByteArray central = ZipCentralHeader(e);
    EXPECT_EQ(U32(central, 20), quint32(e.SourceSize));
    EXPECT_EQ(U16(central, 30), 4);
    EXPECT_EQ(central.mid(49).toHex().toStdString(), "01000000");
    // Only the sizes that do not fit get a place; 0xFFFFFFFF itself is the marker.
    e.UncompressedSize = 0x1'0000'0000LL + 7;
    e.StoredSize = 0xFFFFFFFFLL;
    const QByteArray both = ZipCentralHeader(e);
    EXPECT_EQ(U32(both, 20), 0xFFFFFFFFu);
    EXPECT_EQ(U32(both, 24), 0xFFFFFFFFu);
    EXPECT_EQ(both.mid(49, 4).toHex().toStdString(), "01001000");
    EXPECT_EQ(U64(both, 53), 0x1'0000'0007ULL);
    EXPECT_EQ(U64(both, 61), 0xFFFFFFFFULL);
    e.StoredSize = 5;
    EXPECT_EQ(ZipCentralHeader(e).mid(49).toHex().toStdString(), "010008000700000001000000");

    TZipLocalInfo info;
    ASSERT_EQ(ParseZipLocalHeader(local, info), TZipParse::Ok);
    EXPECT_EQ(info.StoredSize, Zip64Threshold + 1);
    EXPECT_EQ(info.UncompressedSize, Zip64Threshold + 1);
}

TEST(ZipFormat, EndRecordsTurnZip64AtFourGiB)
{
    EXPECT_EQ(ZipEndRecords(1000, 60).toHex().toStdString(), "504b050600000000010001003c000000e80300000000");
    const QByteArray big = ZipEndRecords(0xFFFFFFF0LL, 0x20);
    ASSERT_EQ(big.size(), 56 + 20 + 22);
    EXPECT_EQ(U32(big, 0), 0x06064B50u);
    EXPECT_EQ(U64(big, 4), 44u);
    EXPECT_EQ(U64(big, 40), 0x20u);
    EXPECT_EQ(U64(big, 48), 0xFFFFFFF0ULL);
    EXPECT_EQ(U32(big, 56), 0x07064B50u);
    EXPECT_EQ(U64(big, 64), 0x1'0000'0010ULL);
    EXPECT_EQ(U32(big, 72), 1u);
    EXPECT_EQ(U32(big, 76 + 12), 0x20u);
    EXPECT_EQ(U32(big, 76 + 16), 0xFFFFFFFFu);
}

TEST(ZipFormat, DosTimeIsLocalAndLimitedToItsYears)
{
    const QDateTime local = QDateTime::fromSecsSinceEpoch(1614834368).toLocalTime();
    const quint32 dos = ZipDosTime(SampleTime);
    EXPECT_EQ(int(dos >> 25) + 1980, local.date().year());
    EXPECT_EQ(int(dos >> 21 & 15), local.date().month());
    EXPECT_EQ(int(dos >> 16 & 31), local.date().day());
    EXPECT_EQ(int(dos >> 11 & 31), local.time().hour());
    EXPECT_EQ(int(dos >> 5 & 63), local.time().minute());
    EXPECT_EQ(int(dos & 31) * 2, local.time().second());
    EXPECT_EQ(ZipDosTime(UnixEpochAsFileTime), 0xFFFFFFFFu); // 1970
    EXPECT_EQ(ZipDosTime(0), 0xFFFFFFFFu);
}

TEST(ZipFormat, DamagedLocalHeadersAreRefused)
{
    const QByteArray good = AssembleZip(QStringLiteral("n.txt"), SampleData(100), true, SampleTime);
    TZipLocalInfo info;
    ASSERT_EQ(ParseZipLocalHeader(good, info), TZipParse::Ok);
    EXPECT_EQ(info.Name, QStringLiteral("n.txt"));
    EXPECT_EQ(info.Method, 8);
    EXPECT_EQ(info.UncompressedSize, 100);
    EXPECT_EQ(info.DataOffset, 35);
    QByteArray badSignature = good;
    badSignature[1] = 'Q';
    EXPECT_EQ(ParseZipLocalHeader(badSignature, info), TZipParse::BadSignature);
    EXPECT_EQ(ParseZipLocalHeader(good.left(29), info), TZipParse::Unreadable);
    EXPECT_EQ(ParseZipLocalHeader(good.left(33), info), TZipParse::Unreadable); // the name is cut off
    QByteArray negative = good;                                                 // Zip64 sizes beyond any file
    negative.replace(18, 8, QByteArray(8, '\xFF'));
    negative.replace(28, 2, QByteArray::fromHex("1400"));
    negative.replace(35, 0, QByteArray::fromHex("01001000") + QByteArray(16, '\xFF'));
    EXPECT_EQ(ParseZipLocalHeader(negative, info), TZipParse::Unreadable);
}

TEST(ZipFormat, PeerToolsReadWhatTheHeadersDescribe)
{
    TTestDir dir;
    const QByteArray data = SampleData(200000);
    struct TCase
    {
        QString Name;
        bool Deflate;
        QByteArray Content;
    };
    const TCase cases[] = {
        {QStringLiteral("stored.txt"), false, data},       {QStringLiteral("deflated.txt"), true, data},
        {QStringLiteral("\u00C4\u00DF.txt"), true, data},  // code page 437
        {QStringLiteral("\u00E1\u03A9.txt"), true, data},  // UTF-8
        {QStringLiteral("empty.txt"), true, QByteArray()}, // stored although deflating was asked for
    };
    for (const TCase& c : cases) {
        const QString zip =
            dir.Write(QStringLiteral("out.zip"), AssembleZip(c.Name, c.Content, c.Deflate, SampleTime));
        const TToolResult unzip = RunTool(QStringLiteral("unzip"), {QStringLiteral("-t"), zip});
        EXPECT_EQ(unzip.ExitCode, 0) << unzip.Text().toStdString();
        const TToolResult seven = RunTool(QStringLiteral("7zz"), {QStringLiteral("t"), zip});
        EXPECT_EQ(seven.ExitCode, 0) << seven.Text().toStdString();
        EXPECT_FALSE(seven.Text().contains(QStringLiteral("WARNING")) ||
                     seven.Text().contains(QStringLiteral("Headers Error")))
            << seven.Text().toStdString();
        const TToolResult py = RunPython(
            QStringLiteral("import zipfile,sys\n"
                           "z=zipfile.ZipFile(sys.argv[1]); assert z.testzip() is None\n"
                           "i=z.infolist()[0]; sys.stdout.buffer.write(i.filename.encode('utf-8')+b'\\n')\n"
                           "print(i.compress_type, '%d-%02d-%02dT%02d:%02d:%02d' % i.date_time)\n"
                           "sys.stdout.buffer.write(z.read(i))"),
            {zip});
        ASSERT_EQ(py.ExitCode, 0) << py.Text().toStdString();
        const QList<QByteArray> lines = py.Out.split('\n');
        EXPECT_EQ(QString::fromUtf8(lines[0]), c.Name);
        EXPECT_EQ(lines[1].left(1), c.Deflate && !c.Content.isEmpty() ? "8" : "0");
        const QDateTime local = QDateTime::fromSecsSinceEpoch(1614834368).toLocalTime();
        EXPECT_EQ(QString::fromUtf8(lines[1].mid(2)),
                  local.toString(QStringLiteral("yyyy-MM-ddTHH:mm:")) +
                      QString::number(local.time().second() / 2 * 2).rightJustified(2, QLatin1Char('0')));
        EXPECT_TRUE(py.Out.mid(lines[0].size() + lines[1].size() + 2) == c.Content) << qPrintable(c.Name);
    }
}

} // namespace
