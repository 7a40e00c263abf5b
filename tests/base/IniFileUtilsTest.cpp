#include "base/IniFileUtils.h"
#include "base/Errors.h"

#include "fixtures/TestFiles.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

const QString Unicode = QStringLiteral("Unicode");
const QString Encoding = QStringLiteral("Encoding");

QString S(const char16_t* Text)
{
    return QString::fromUtf16(Text);
}

} // namespace

TEST(UnicodeIniFile, CreateForWriteMarksTheFile)
{
    const struct
    {
        const char* Name;
        QByteArray Content;
        bool ClearEntries;
        QStringList Sections;
        QString Encoding;
    } cases[] = {
        {"missing file", QByteArray(), false, {Unicode}, QStringLiteral("UTF-16LE")},
        {"no marker section",
         "[Config]\nTop=1\n",
         false,
         {QStringLiteral("Config"), Unicode},
         QStringLiteral("UTF-16LE")},
        {"marker section without the key",
         "[Unicode]\nProgram=Old\n[Config]\nTop=1\n",
         false,
         {Unicode, QStringLiteral("Config")},
         QStringLiteral("UTF-16LE")},
        {"marker kept as it is", "[Unicode]\nEncoding=UTF-8\n", false, {Unicode}, QStringLiteral("UTF-8")},
        {"cleared",
         "; old\n[Unicode]\nEncoding=UTF-8\nProgram=Old\n[Config]\nTop=1\n",
         true,
         {Unicode},
         QStringLiteral("UTF-16LE")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TTestDir dir;
        const QString name = c.Content.isEmpty() ? dir.Path(QStringLiteral("new.ini"))
                                                 : dir.Write(QStringLiteral("s.ini"), c.Content);
        {
            auto ini = TUnicodeIniFile::CreateForWrite(name, c.ClearEntries);
            EXPECT_FALSE(ini->ReadOnly());
            EXPECT_EQ(ini->Encoding(), TIniEncoding::Utf16LE);
            ini->UpdateFile();
        }
        const TMemIniFile back(name);
        EXPECT_EQ(back.Encoding(), TIniEncoding::Utf16LE);
        EXPECT_EQ(back.ReadSections(), c.Sections);
        EXPECT_EQ(back.ReadString(Unicode, Encoding, QString()), c.Encoding);
        if (c.ClearEntries) {
            EXPECT_EQ(back.ToText(), QStringLiteral("[Unicode]\r\nEncoding=UTF-16LE\r\n\r\n"));
        } else if (c.Sections.contains(QStringLiteral("Config"))) {
            EXPECT_EQ(back.ReadInteger(QStringLiteral("Config"), QStringLiteral("Top"), 0), 1);
        }
    }
}

TEST(UnicodeIniFile, ClearedFileHoldsOnlyTheMarkerAndWhatTheCallerWrites)
{
    TTestDir dir;
    const QString name = dir.Write(QStringLiteral("s.ini"), "[Config]\nTop=1\n[Other]\nX=1\n");
    auto ini = TUnicodeIniFile::CreateForWrite(name, true);
    ini->WriteProgramInfo(QStringLiteral("Program"), QStringLiteral("OvSentry"));
    ini->WriteProgramInfo(QStringLiteral("Version"), QStringLiteral("6.4.0.1"));
    ini->WriteInteger(QStringLiteral("Config"), QStringLiteral("Left"), 20);
    ini->UpdateFile();
    EXPECT_EQ(ReadAll(name),
              Utf16LEWithMark(QStringLiteral("[Unicode]\r\nEncoding=UTF-16LE\r\nProgram=OvSentry\r\n"
                                             "Version=6.4.0.1\r\n\r\n[Config]\r\nLeft=20\r\n\r\n")));
}

TEST(UnicodeIniFile, Int64Values)
{
    const struct
    {
        const char* Text;
        qint64 Expected; // -5 is the default
    } cases[] = {
        {"0x1F", 31},
        {"0x", -5},
        {"12abc", -5},
        {"$1F", 31},
        {"9223372036854775807", INT64_MAX},
        {"-9223372036854775808", INT64_MIN},
        {"9223372036854775808", -5},
        {"0xFFFFFFFFFFFFFFFF", -1},
        {"0x10000000000000000", -5},
        {"4294967296", 4294967296LL},
    };
    TTestDir dir;
    auto ini = TUnicodeIniFile::CreateForRead(dir.Path(QStringLiteral("none.ini")));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        ini->WriteString(QStringLiteral("N"), QStringLiteral("V"), QString::fromLatin1(c.Text));
        EXPECT_EQ(ini->ReadInt64(QStringLiteral("N"), QStringLiteral("V"), -5), c.Expected);
    }
    ini->WriteInt64(QStringLiteral("N"), QStringLiteral("V"), INT64_MIN);
    EXPECT_EQ(ini->ReadString(QStringLiteral("N"), QStringLiteral("V"), QString()),
              QStringLiteral("-9223372036854775808"));
}

TEST(UnicodeIniFile, EraseSectionValuesKeepsTheHeaderInPlace)
{
    TTestDir dir;
    const QString name =
        dir.Write(QStringLiteral("t.ini"),
                  Utf16LEWithMark(QStringLiteral("[Unicode]\r\nEncoding=UTF-16LE\r\n\r\n[Files]\r\n"
                                                 "F1=a\r\nF2=b\r\n\r\n[Last]\r\nX=1\r\n\r\n")));
    {
        auto ini = TUnicodeIniFile::CreateForWrite(name, false);
        ini->EraseSectionValues(QStringLiteral("Files"));
        ini->EraseSectionValues(QStringLiteral("Missing"));
        EXPECT_TRUE(ini->SectionExists(QStringLiteral("Files")));
        EXPECT_TRUE(ini->ReadSection(QStringLiteral("Files")).isEmpty());
        ini->WriteString(QStringLiteral("files"), QStringLiteral("F9"), QStringLiteral("z"));
        ini->UpdateFile();
    }
    EXPECT_EQ(TMemIniFile(name).ToText(),
              QStringLiteral("[Unicode]\r\nEncoding=UTF-16LE\r\n\r\n[Files]\r\nF9=z\r\n\r\n"
                             "[Last]\r\nX=1\r\n\r\n"));
}

TEST(UnicodeIniFile, Utf8FileIsWrittenBackAsUtf16)
{
    TTestDir dir;
    const QString name =
        dir.Write(QStringLiteral("u.ini"), "\xEF\xBB\xBF[Config]\r\nName=J\xC3\xBCrgen \xE2\x82\xAC\r\n");
    auto ini = TUnicodeIniFile::CreateForWrite(name, false);
    EXPECT_EQ(ini->ReadString(QStringLiteral("Config"), QStringLiteral("Name"), QString()),
              S(u"J\u00fcrgen \u20ac"));
    ini->UpdateFile();
    EXPECT_EQ(ReadAll(name), Utf16LEWithMark(S(u"[Config]\r\nName=J\u00fcrgen \u20ac\r\n\r\n"
                                               u"[Unicode]\r\nEncoding=UTF-16LE\r\n\r\n")));
}

TEST(UnicodeIniFile, ReleaseWritesWhatUpdateFileHasNotSaved)
{
    TTestDir dir;
    const QString name = dir.Path(QStringLiteral("r.ini"));

    // Opened for writing and released without UpdateFile: the release writes.
    TUnicodeIniFile::CreateForWrite(name, false)
        ->WriteInteger(QStringLiteral("Config"), QStringLiteral("Top"), 5);
    EXPECT_EQ(TMemIniFile(name).ReadInteger(QStringLiteral("Config"), QStringLiteral("Top"), 0), 5);

    // Opened for reading: changes are lost, and UpdateFile does not write either.
    {
        auto ini = TUnicodeIniFile::CreateForRead(name);
        EXPECT_TRUE(ini->ReadOnly());
        EXPECT_EQ(ini->ReadInteger(QStringLiteral("Config"), QStringLiteral("Top"), 0), 5);
        ini->WriteInteger(QStringLiteral("Config"), QStringLiteral("Top"), 6);
        ini->UpdateFile();
    }
    EXPECT_EQ(TMemIniFile(name).ReadInteger(QStringLiteral("Config"), QStringLiteral("Top"), 0), 5);

    // Saved by UpdateFile: the release does not write again, unless something changed since.
    {
        auto ini = TUnicodeIniFile::CreateForWrite(name, false);
        ini->UpdateFile();
        ASSERT_TRUE(QFile::remove(name));
    }
    EXPECT_FALSE(QFile::exists(name));
    {
        auto ini = TUnicodeIniFile::CreateForWrite(name, false);
        ini->UpdateFile();
        ini->WriteInteger(QStringLiteral("Config"), QStringLiteral("Top"), 7);
    }
    EXPECT_EQ(TMemIniFile(name).ReadInteger(QStringLiteral("Config"), QStringLiteral("Top"), 0), 7);
}

TEST(UnicodeIniFile, WriteFailureReachesTheOwner)
{
    TTestDir dir;
    const QString name = dir.Write(QStringLiteral("plain"), "x") + QStringLiteral("/s.ini");
    auto ini = TUnicodeIniFile::CreateForWrite(name, false);
    try {
        ini->UpdateFile();
        FAIL() << "no error";
    } catch (const EWriteError& E) {
        EXPECT_EQ(E.Message(), QStringLiteral("Error writing to \"%1\"").arg(name));
    }
    ini.reset(); // tries once more and only logs the failure
}

TEST(ReadIniBool, ReadsOneValue)
{
    TTestDir dir;
    const QString name =
        dir.Write(QStringLiteral("Orvanta.cfg"), Utf16LEWithMark(QStringLiteral("[Style]\r\nDark=1\r\n")));
    EXPECT_TRUE(ReadIniBool(name, QStringLiteral("style"), QStringLiteral("dark"), false));
    EXPECT_FALSE(ReadIniBool(name, QStringLiteral("Style"), QStringLiteral("Light"), false));
    EXPECT_TRUE(ReadIniBool(dir.Path(QStringLiteral("missing.cfg")), QStringLiteral("Style"),
                            QStringLiteral("Dark"), true));
}
