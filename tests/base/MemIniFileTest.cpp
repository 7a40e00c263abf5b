#include "base/MemIniFile.h"
#include "base/Errors.h"

#include "fixtures/Faults.h"
#include "fixtures/TestFiles.h"
#include "platform/SysErrors.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

QString S(const char16_t* Text)
{
    return QString::fromUtf16(Text);
}

QByteArray Utf16BEWithMark(const QString& Text)
{
    QByteArray out("\xFE\xFF", 2);
    for (const QChar c : Text) {
        out.append(static_cast<char>(c.unicode() >> 8));
        out.append(static_cast<char>(c.unicode() & 0xFF));
    }
    return out;
}

QByteArray Bytes(const char* Data, qsizetype Size)
{
    return QByteArray(Data, Size);
}

struct TValue
{
    QString Section;
    QString Key;
    QString Value;
};

} // namespace

TEST(MemIniFile, WritesSectionsWithMarkCrLfAndBlankLines)
{
    TTestDir dir;
    const QString name = dir.Path(QStringLiteral("out.ini"));
    TMemIniFile ini(name);
    ini.SetEncoding(TIniEncoding::Utf16LE);
    ini.WriteString(QStringLiteral("First"), QStringLiteral("A"), QStringLiteral("1"));
    ini.WriteString(QStringLiteral("First"), QStringLiteral("B"), S(u"\u00e4\u20ac"));
    ini.WriteString(QStringLiteral("Second"), QStringLiteral("C"), QString());
    ini.UpdateFile();

    const QString text = S(u"[First]\r\nA=1\r\nB=\u00e4\u20ac\r\n\r\n[Second]\r\nC=\r\n\r\n");
    EXPECT_EQ(ReadAll(name), Utf16LEWithMark(text));
    EXPECT_EQ(ini.ToText(), text);
}

TEST(MemIniFile, WritesTheMarkOfEachEncoding)
{
    TMemIniFile ini = TMemIniFile::FromBytes(QByteArray());
    ini.WriteString(QStringLiteral("S"), QStringLiteral("K"), S(u"\u00e9"));
    ini.SetEncoding(TIniEncoding::Utf8);
    EXPECT_EQ(ini.ToBytes(), QByteArray("\xEF\xBB\xBF[S]\r\nK=\xC3\xA9\r\n\r\n"));
    ini.SetEncoding(TIniEncoding::Utf16BE);
    EXPECT_EQ(ini.ToBytes(), Utf16BEWithMark(S(u"[S]\r\nK=\u00e9\r\n\r\n")));
    ini.SetEncoding(TIniEncoding::Ansi);
    EXPECT_EQ(ini.ToBytes(), QByteArray("[S]\r\nK=\xE9\r\n\r\n"));
}

// Without a mark the text is Windows-1252 as long as that keeps it; text it cannot hold, or bytes
// that would read back as UTF-8, are written as UTF-8 instead.
TEST(MemIniFile, AnsiKeepsTextThatWindows1252CannotHold)
{
    TMemIniFile ini = TMemIniFile::FromBytes(QByteArray());
    ini.WriteString(QStringLiteral("S"), QStringLiteral("Euro"), S(u"\u20ac"));
    EXPECT_EQ(ini.ToBytes(), QByteArray("[S]\r\nEuro=\x80\r\n\r\n"));

    for (const QString& value : {S(u"\u65e5\u672c"), S(u"\u00c3\u00a9")}) {
        ini.WriteString(QStringLiteral("S"), QStringLiteral("K"), value);
        const TMemIniFile back = TMemIniFile::FromBytes(ini.ToBytes());
        EXPECT_EQ(back.ReadString(QStringLiteral("S"), QStringLiteral("K"), QString()), value);
        EXPECT_EQ(back.ReadString(QStringLiteral("S"), QStringLiteral("Euro"), QString()), S(u"\u20ac"));
    }
}

TEST(MemIniFile, ReadsTheEncodingFromTheMark)
{
    const QString value = S(u"V\u00e4l\u20ac");
    const QString text = QStringLiteral("[Sec]\r\nKey=") + value + QStringLiteral("\r\n");
    const struct
    {
        const char* Name;
        QByteArray Content;
        TIniEncoding Encoding;
        QString Value;
    } cases[] = {
        {"UTF-16LE", Utf16LEWithMark(text), TIniEncoding::Utf16LE, value},
        {"UTF-16BE", Utf16BEWithMark(text), TIniEncoding::Utf16BE, value},
        {"UTF-8 with mark", "\xEF\xBB\xBF" + text.toUtf8(), TIniEncoding::Utf8, value},
        {"UTF-8 without mark", text.toUtf8(), TIniEncoding::Ansi, value},
        {"Windows-1252", QByteArray("[Sec]\n\rKey=V\xE4l\x80\r"), TIniEncoding::Ansi, value},
        // Readable as far as its characters are Latin-1: the NUL bytes drop out.
        {"UTF-16LE without mark", Utf16LEWithMark(S(u"[Sec]\nKey=V\u00e4l\n")).mid(2), TIniEncoding::Ansi,
         S(u"V\u00e4l")},
    };
    TTestDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const TMemIniFile ini(dir.Write(QStringLiteral("enc.ini"), c.Content));
        EXPECT_EQ(ini.Encoding(), c.Encoding);
        EXPECT_EQ(ini.ReadString(QStringLiteral("sec"), QStringLiteral("KEY"), QString()), c.Value);
    }
}

TEST(MemIniFile, ParsesLinesAndWritesThemBackInPlace)
{
    const QByteArray content = "  ; header comment \n"
                               "Loose=1\r"
                               "[ Main ]\r\n"
                               "\t Name =  a = b  \r\n"
                               ";Commented=1\r\n"
                               "no equals sign\r\n"
                               "\r\n\r\n"
                               "Empty=\n"
                               "[Other]\n"
                               "X=1\n"
                               "[main]\n"
                               "Late=2\n"
                               "NAME=dup\n";
    const TMemIniFile ini = TMemIniFile::FromBytes(content);

    EXPECT_EQ(ini.ReadSections(), (QStringList{QStringLiteral("Main"), QStringLiteral("Other")}));
    EXPECT_EQ(ini.ReadString(QStringLiteral("MAIN"), QStringLiteral("name"), QString()),
              QStringLiteral("a = b"));
    EXPECT_EQ(ini.ReadString(QStringLiteral("Main"), QStringLiteral("Late"), QString()), QStringLiteral("2"));
    EXPECT_EQ(ini.ReadString(QStringLiteral("Main"), QStringLiteral("Empty"), QStringLiteral("d")),
              QString());
    EXPECT_FALSE(ini.ValueExists(QStringLiteral("Main"), QStringLiteral(";Commented")));
    EXPECT_FALSE(ini.ValueExists(QStringLiteral("Main"), QStringLiteral("no equals sign")));
    EXPECT_FALSE(ini.ValueExists(QString(), QStringLiteral("Loose")));
    EXPECT_EQ(ini.ReadSection(QStringLiteral("Main")),
              (QStringList{QStringLiteral("Name"), QStringLiteral("Empty"), QStringLiteral("Late")}));
    EXPECT_EQ(
        ini.ReadSectionValues(QStringLiteral("Main")),
        (QStringList{QStringLiteral("Name=a = b"), QStringLiteral("Empty="), QStringLiteral("Late=2")}));

    EXPECT_EQ(ini.ToText(),
              QStringLiteral("; header comment\r\nLoose=1\r\n\r\n"
                             "[Main]\r\nName=a = b\r\n;Commented=1\r\nno equals sign\r\nEmpty=\r\n"
                             "Late=2\r\nNAME=dup\r\n\r\n"
                             "[Other]\r\nX=1\r\n\r\n"));
}

TEST(MemIniFile, ComparesNamesWithoutRegardToCase)
{
    TMemIniFile ini = TMemIniFile::FromBytes(QByteArray());
    // U+10400 and U+10428 are one letter in two cases, outside the 16-bit range.
    ini.WriteString(S(u"\u00c4rger"), S(u"Stra\u00dfe\U00010400"), QStringLiteral("1"));
    EXPECT_EQ(ini.ReadString(S(u"\u00e4RGER"), S(u"STRA\u00dfE\U00010428"), QString()), QStringLiteral("1"));
    EXPECT_FALSE(ini.ValueExists(S(u"\u00c4rger"), S(u"Strasse\U00010400")));
    ini.WriteString(S(u"\u00e4rger"), S(u"stra\u00dfe\U00010428"), QStringLiteral("2"));
    EXPECT_EQ(ini.ToText(), S(u"[\u00c4rger]\r\nStra\u00dfe\U00010400=2\r\n\r\n"));
}

TEST(MemIniFile, EditsKeepTheOrder)
{
    TMemIniFile ini = TMemIniFile::FromBytes("[A]\nk1=1\n;c\nk2=2\nK1=dup\n[B]\nx=1\n[C]\ny=1\n");
    ini.WriteString(QStringLiteral("A"), QStringLiteral("K2"), QStringLiteral("two"));
    ini.WriteString(QStringLiteral("A"), QStringLiteral("k3"), QStringLiteral("3"));
    ini.WriteString(QStringLiteral("D"), QStringLiteral("z"), QStringLiteral("4"));
    EXPECT_EQ(ini.ToText(), QStringLiteral("[A]\r\nk1=1\r\n;c\r\nk2=two\r\nK1=dup\r\nk3=3\r\n\r\n"
                                           "[B]\r\nx=1\r\n\r\n[C]\r\ny=1\r\n\r\n[D]\r\nz=4\r\n\r\n"));

    // Deleting a key removes its duplicates too: they must not come back in its place.
    ini.DeleteKey(QStringLiteral("a"), QStringLiteral("k1"));
    EXPECT_FALSE(ini.ValueExists(QStringLiteral("A"), QStringLiteral("k1")));
    EXPECT_EQ(ini.ReadString(QStringLiteral("A"), QStringLiteral("k3"), QString()), QStringLiteral("3"));

    ini.EraseSectionValues(QStringLiteral("B"));
    ini.EraseSection(QStringLiteral("C"));
    ini.EraseSection(QStringLiteral("missing"));
    ini.EraseSectionValues(QStringLiteral("missing"));
    EXPECT_TRUE(ini.SectionExists(QStringLiteral("B")));
    EXPECT_FALSE(ini.SectionExists(QStringLiteral("C")));
    ini.WriteString(QStringLiteral("b"), QStringLiteral("new"), QStringLiteral("5"));
    ini.WriteString(QStringLiteral("D"), QStringLiteral("z2"), QStringLiteral("6"));
    EXPECT_EQ(ini.ToText(), QStringLiteral("[A]\r\n;c\r\nk2=two\r\nk3=3\r\n\r\n[B]\r\nnew=5\r\n\r\n"
                                           "[D]\r\nz=4\r\nz2=6\r\n\r\n"));

    ini.Clear();
    EXPECT_EQ(ini.ToText(), QString());
}

TEST(MemIniFile, ManyKeysStayReachable)
{
    TMemIniFile ini = TMemIniFile::FromBytes(QByteArray());
    for (int i = 0; i < 5000; ++i)
        ini.WriteInteger(QStringLiteral("S%1").arg(i % 3), QStringLiteral("Key%1").arg(i), i);
    const TMemIniFile back = TMemIniFile::FromBytes(ini.ToBytes());
    for (int i = 0; i < 5000; ++i)
        ASSERT_EQ(back.ReadInteger(QStringLiteral("s%1").arg(i % 3), QStringLiteral("KEY%1").arg(i), -1), i);
    EXPECT_EQ(back.ReadSection(QStringLiteral("S0")).size(), 1667);

    // Deleting, erasing and growing again reuse the memory of large sections.
    TMemIniFile edited = TMemIniFile::FromBytes(ini.ToBytes());
    for (int i = 0; i < 5000; i += 6)
        edited.DeleteKey(QStringLiteral("S0"), QStringLiteral("Key%1").arg(i));
    edited.EraseSection(QStringLiteral("S1"));
    for (int i = 0; i < 3000; ++i)
        edited.WriteInteger(QStringLiteral("S1"), QStringLiteral("New%1").arg(i), -i);
    EXPECT_EQ(edited.ReadSection(QStringLiteral("S0")).size(), 1667 - 834);
    EXPECT_EQ(edited.ReadInteger(QStringLiteral("S0"), QStringLiteral("Key3"), -1), 3);
    EXPECT_EQ(edited.ReadInteger(QStringLiteral("S0"), QStringLiteral("Key6"), -1), -1);
    EXPECT_EQ(edited.ReadSections(),
              (QStringList{QStringLiteral("S0"), QStringLiteral("S2"), QStringLiteral("S1")}));
    EXPECT_EQ(edited.ReadInteger(QStringLiteral("S1"), QStringLiteral("New2999"), 0), -2999);
    EXPECT_EQ(edited.ReadInteger(QStringLiteral("S2"), QStringLiteral("Key2"), -1), 2);
}

TEST(MemIniFile, ReadIntegerFollowsTheSuiteSyntax)
{
    const struct
    {
        const char* Text;
        int Expected; // 7777 is the default
    } cases[] = {
        {"12", 12},
        {"-12", -12},
        {"+7", 7},
        {" \t42", 42},
        {"$1F", 31},
        {"-$10", -16},
        {"$FFFFFFFF", -1},
        {"0x1F", 31},
        {"0X1f", 31},
        {"0xFFFFFFFF", -1},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"0x", 7777},
        {"0xG", 7777},
        {"0x100000000", 7777},
        {"2147483648", 7777},
        {"12abc", 7777},
        {"12 ", 7777},
        {"", 7777},
        {"$", 7777},
        {"-", 7777},
        {"1.5", 7777},
        {"true", 7777},
        {"x1F", 7777},
    };
    TMemIniFile ini = TMemIniFile::FromBytes(QByteArray());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Text);
        ini.WriteString(QStringLiteral("N"), QStringLiteral("V"), QString::fromLatin1(c.Text));
        EXPECT_EQ(ini.ReadInteger(QStringLiteral("N"), QStringLiteral("V"), 7777), c.Expected);
    }
    EXPECT_EQ(ini.ReadInteger(QStringLiteral("N"), QStringLiteral("missing"), 5), 5);
}

TEST(MemIniFile, ReadBoolIsAnIntegerThatIsNotZero)
{
    TMemIniFile ini = TMemIniFile::FromBytes("[B]\nOne=1\nZero=0\nTwo=2\nWord=yes\n");
    for (const bool def : {false, true}) {
        EXPECT_TRUE(ini.ReadBool(QStringLiteral("B"), QStringLiteral("One"), def));
        EXPECT_FALSE(ini.ReadBool(QStringLiteral("B"), QStringLiteral("Zero"), def));
        EXPECT_TRUE(ini.ReadBool(QStringLiteral("B"), QStringLiteral("Two"), def));
        EXPECT_EQ(ini.ReadBool(QStringLiteral("B"), QStringLiteral("Word"), def), def);
        EXPECT_EQ(ini.ReadBool(QStringLiteral("B"), QStringLiteral("Missing"), def), def);
    }
    ini.WriteBool(QStringLiteral("B"), QStringLiteral("Word"), true);
    ini.WriteBool(QStringLiteral("B"), QStringLiteral("One"), false);
    EXPECT_EQ(ini.ReadString(QStringLiteral("B"), QStringLiteral("Word"), QString()), QStringLiteral("1"));
    EXPECT_EQ(ini.ReadString(QStringLiteral("B"), QStringLiteral("One"), QString()), QStringLiteral("0"));
}

// Each damaged file reads as far as it can, and writing it back keeps every entry that was read.
TEST(MemIniFile, DamagedFilesReadAsFarAsTheyCan)
{
    const QByteArray longValue(4 * 1024 * 1024, 'v');
    const struct
    {
        const char* Name;
        QByteArray Content;
        std::vector<TValue> Expected; // a value "-" must be missing
    } cases[] = {
        {"empty file", QByteArray(), {{QStringLiteral("A"), QStringLiteral("K"), QStringLiteral("-")}}},
        {"only a mark",
         Bytes("\xFF\xFE", 2),
         {{QStringLiteral("A"), QStringLiteral("K"), QStringLiteral("-")}}},
        {"truncated in an entry",
         QByteArray("[A]\r\nK=1\r\nL=par"),
         {{QStringLiteral("A"), QStringLiteral("K"), QStringLiteral("1")},
          {QStringLiteral("A"), QStringLiteral("L"), QStringLiteral("par")}}},
        {"truncated in a header",
         QByteArray("[A]\r\nK=1\r\n[B"),
         {{QStringLiteral("A"), QStringLiteral("K"), QStringLiteral("1")},
          {QStringLiteral("B"), QStringLiteral("K"), QStringLiteral("-")}}},
        {"odd byte count after FF FE",
         Utf16LEWithMark(QStringLiteral("[A]\r\nK=1\r\nL=2")) + 'x',
         {{QStringLiteral("A"), QStringLiteral("K"), QStringLiteral("1")},
          {QStringLiteral("A"), QStringLiteral("L"), QStringLiteral("2")}}},
        {"lone surrogates in UTF-16",
         Utf16LEWithMark(S(u"[A]\r\nK=x")) + Bytes("\x00\xD8", 2) + Utf16LEWithMark(S(u"y\r\nL=")).mid(2) +
             Bytes("\x00\xDC", 2) + Utf16LEWithMark(S(u"\r\nM=ok")).mid(2),
         {{QStringLiteral("A"), QStringLiteral("K"), S(u"x\ufffdy")},
          {QStringLiteral("A"), QStringLiteral("L"), S(u"\ufffd")},
          {QStringLiteral("A"), QStringLiteral("M"), QStringLiteral("ok")}}},
        {"invalid UTF-8 without mark",
         QByteArray("[A]\r\nK=\xC3\x28\r\nL=\xE9t\xE9"),
         {{QStringLiteral("A"), QStringLiteral("K"), S(u"\u00c3(")},
          {QStringLiteral("A"), QStringLiteral("L"), S(u"\u00e9t\u00e9")}}},
        {"invalid UTF-8 with mark",
         QByteArray("\xEF\xBB\xBF[A]\r\nK=a\xFF"
                    "b\r\nL=\xE2\x82\r\nM=ok"),
         {{QStringLiteral("A"), QStringLiteral("K"), S(u"a\ufffdb")},
          {QStringLiteral("A"), QStringLiteral("M"), QStringLiteral("ok")}}},
        {"NUL bytes",
         Bytes("[A]\r\nK=a\0b\r\n\0\0L=2\0", 18),
         {{QStringLiteral("A"), QStringLiteral("K"), QStringLiteral("ab")},
          {QStringLiteral("A"), QStringLiteral("L"), QStringLiteral("2")}}},
        {"a line of megabytes",
         "[A]\nBig=" + longValue + "\nAfter=1\n",
         {{QStringLiteral("A"), QStringLiteral("Big"), QString::fromLatin1(longValue)},
          {QStringLiteral("A"), QStringLiteral("After"), QStringLiteral("1")}}},
        {"a line of megabytes in UTF-16",
         Utf16LEWithMark(QStringLiteral("[A]\r\nBig=") + QString::fromLatin1(longValue) +
                         QStringLiteral("\r\nAfter=1\r\n")),
         {{QStringLiteral("A"), QStringLiteral("Big"), QString::fromLatin1(longValue)},
          {QStringLiteral("A"), QStringLiteral("After"), QStringLiteral("1")}}},
        {"duplicate sections and keys",
         QByteArray("[A]\nK=first\n[B]\nX=1\n[a]\nK=second\nL=2\n"),
         {{QStringLiteral("A"), QStringLiteral("K"), QStringLiteral("first")},
          {QStringLiteral("A"), QStringLiteral("L"), QStringLiteral("2")},
          {QStringLiteral("B"), QStringLiteral("X"), QStringLiteral("1")}}},
        {"entries before the first section",
         QByteArray("K=0\n[A]\nK=1\n"),
         {{QStringLiteral("A"), QStringLiteral("K"), QStringLiteral("1")}}},
        // Without the control character in front these bytes would be a mark; written back they
        // must not become one.
        {"bytes of a mark inside the first line",
         QByteArray("\x01\xFF\xFE[x]\n[A]\nK=1\n"),
         {{QStringLiteral("A"), QStringLiteral("K"), QStringLiteral("1")}}},
        {"binary garbage",
         Bytes("\x01\x02[\x7F]\x00\xFF=\xFE\n[Z]\nq=\x81\x8D\n", 19),
         {{QStringLiteral("Z"), QStringLiteral("q"), S(u"\u0081\u008d")}}},
    };
    TTestDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const QString name = dir.Write(QStringLiteral("bad.ini"), c.Content);
        auto check = [&](const TMemIniFile& Ini) {
            for (const TValue& v : c.Expected)
                EXPECT_EQ(Ini.ReadString(v.Section, v.Key, QStringLiteral("-")), v.Value)
                    << qPrintable(v.Key);
        };
        const TMemIniFile ini(name);
        check(ini);
        ini.UpdateFile();
        const TMemIniFile back(name);
        check(back);
        EXPECT_EQ(back.ToText(), ini.ToText());
    }
}

TEST(MemIniFile, MissingOrUnreadableFileGivesAnEmptyObject)
{
    TTestDir dir;
    const QString present = dir.Write(QStringLiteral("present.ini"), "[A]\nK=1\n");
    const QString missing = dir.Path(QStringLiteral("missing.ini"));
    EXPECT_TRUE(TMemIniFile(missing).ReadSections().isEmpty());
    EXPECT_TRUE(TMemIniFile(dir.Root()).ReadSections().isEmpty());

    TRefuse refuse(Platform::TFileOp::Read, QStringLiteral("present.ini"), Platform::ErrAccessDenied);
    Platform::TScopedFaultInjector injected(refuse);
    TMemIniFile ini(present);
    EXPECT_TRUE(ini.ReadSections().isEmpty());
    EXPECT_EQ(ini.FileName(), present);
}

TEST(MemIniFile, WriteFailureNamesTheFile)
{
    TTestDir dir;
    const QString plain = dir.Write(QStringLiteral("plain"), "not a folder");
    const QString name = plain + QStringLiteral("/x.ini");
    TMemIniFile ini(name);
    ini.WriteString(QStringLiteral("A"), QStringLiteral("K"), QStringLiteral("1"));
    try {
        ini.UpdateFile();
        FAIL() << "no error";
    } catch (const EWriteError& E) {
        EXPECT_EQ(E.Message(), QStringLiteral("Error writing to \"%1\"").arg(name));
    }
    EXPECT_EQ(ReadAll(plain), QByteArray("not a folder"));
}
