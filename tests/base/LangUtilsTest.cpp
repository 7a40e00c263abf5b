#include "base/LangUtils.h"
#include "base/TaskFile.h"
#include "base/TextFilter.h"

#include "base/OvUtils.h"

#include "fixtures/TestFiles.h"

#include "platform/FileSystem.h"

#include <gtest/gtest.h>

namespace {

// A program in <dir>/prog/ started from <dir>/cwd, for a user whose roaming folder is <dir>/roaming
// and whose locale names a language the table does not have.
class LanguageSelection : public testing::Test
{
protected:
    TTestDir FDir;
    TScopedEnv FLocale{"LC_ALL", QStringLiteral("eo.UTF-8")};
    TProgramEnvironment FEnv{Root("prog/"), QStringLiteral("OvSentry"), Root("roaming"), Root("cwd")};

    QString Root(const char* Name) const { return FDir.Path(QString::fromUtf8(Name)); }
    TLanguageSelection Select(const QStringList& Args, const QString& CfgName = QStringLiteral("Orvanta.cfg"),
                              const QString& Path = QStringLiteral("Orvanta6/")) const
    {
        TLanguageSelection s(FEnv);
        s.Select(Path, CfgName, Args);
        return s;
    }
    void WriteLangId(const char* CfgFile, const char* Code) const
    {
        FDir.Write(QString::fromUtf8(CfgFile),
                   "[Config]\nDarkMode=1\n[Language]\nLangID=" + QByteArray(Code) + '\n');
    }
};

TEST_F(LanguageSelection, ConfigurationFileFollowsTheOptions)
{
    TScopedEnv home("OV_TEST_HOME", Root("home"));
    struct TCase
    {
        QStringList Args;
        const char* Expected; // below the temporary folder
        bool Portable;
    };
    const TCase cases[] = {
        {{}, "roaming/Orvanta6/Orvanta.cfg", false},
        {{QStringLiteral("-port")}, "prog/Orvanta.cfg", true},
        {{QStringLiteral("--PORTABLE")}, "prog/Orvanta.cfg", true},
        {{QStringLiteral("-ini:%OV_TEST_HOME%/cfg/x.ini")}, "home/cfg/Orvanta.cfg", false},
        {{QStringLiteral("-ini:sub/x.ini"), QStringLiteral("-portable")}, "prog/sub/x.cfg", true},
        {{QStringLiteral("-p"), QStringLiteral("-i:sub/x.ini")}, "prog/sub/x.cfg", true},
        {{QStringLiteral("-ini:x.ini"), QStringLiteral("-portable")}, "prog/x.cfg", true},
        {{QStringLiteral("-ini:x"), QStringLiteral("-portable")}, "prog/x.cfg", true},
        // Not portable: a bare name keeps the folder, a relative folder is below the current one.
        {{QStringLiteral("-ini:x.ini")}, "roaming/Orvanta6/Orvanta.cfg", false},
        {{QStringLiteral("-ini:sub/x.ini")}, "cwd/sub/Orvanta.cfg", false},
        {{QStringLiteral("-ini:%OV_TEST_HOME%/s/")}, "home/s/Orvanta.cfg", false},
        {{QStringLiteral("-ini:%OV_TEST_HOME%/s/y.ini"), QStringLiteral("-portable")}, "home/s/y.cfg", true},
        {{QStringLiteral("-ini:s/"), QStringLiteral("-portable")}, "prog/s/Orvanta.cfg", true},
        // The last "ini" wins; options of the programs and other arguments are no concern here.
        {{QStringLiteral("-ini:a/x.ini"), QStringLiteral("-ini:b/y.ini"), QStringLiteral("-force"),
          QStringLiteral("Daily")},
         "cwd/b/Orvanta.cfg",
         false},
        // Without a colon "ini" is not given.
        {{QStringLiteral("-ini")}, "roaming/Orvanta6/Orvanta.cfg", false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Args.join(QLatin1Char(' ')).toStdString());
        const TLanguageSelection s = Select(c.Args);
        EXPECT_EQ(s.ConfigFileName(), Root(c.Expected));
        EXPECT_EQ(s.Portable(), c.Portable);
    }
}

TEST_F(LanguageSelection, ConfigurationFileNameAndFolderDefaults)
{
    EXPECT_EQ(Select({}, QString()).ConfigFileName(), Root("roaming/Orvanta6/OvSentry.cfg"));
    EXPECT_EQ(Select({}, QStringLiteral("Orvanta.cfg"), Root("abs")).ConfigFileName(),
              Root("abs/Orvanta.cfg"));
    // Without a roaming folder relative paths stay with the program.
    FEnv.RoamingFolder.clear();
    EXPECT_EQ(Select({}).ConfigFileName(), Root("prog/Orvanta6/Orvanta.cfg"));
}

TEST_F(LanguageSelection, LanguageFromCommandLineThenConfigurationThenLocale)
{
    EXPECT_EQ(Select({QStringLiteral("-l:fr")}).LanguageCode(), QStringLiteral("fr"));
    EXPECT_EQ(Select({QStringLiteral("--LANG:DE_at")}).LanguageCode(), QStringLiteral("de"));
    // The locale's language is not in the table.
    EXPECT_EQ(Select({}).LanguageCode(), QStringLiteral("en"));

    WriteLangId("roaming/Orvanta6/Orvanta.cfg", "it");
    EXPECT_EQ(Select({}).LanguageCode(), QStringLiteral("it"));
    EXPECT_EQ(Select({QStringLiteral("-l:fr")}).LanguageCode(), QStringLiteral("fr"));
    // The configuration file of a portable start is the one read.
    WriteLangId("prog/Orvanta.cfg", "nl");
    EXPECT_EQ(Select({QStringLiteral("-portable")}).LanguageCode(), QStringLiteral("nl"));
    {
        TScopedEnv locale("LC_ALL", QStringLiteral("pt_BR.UTF-8"));
        EXPECT_EQ(Select({QStringLiteral("-ini:/nowhere/x.ini")}).LanguageCode(), QStringLiteral("pt"));
    }
}

TEST(LanguageTable, KnownLanguagesOrEnglish)
{
    for (const char* code : {"ar", "de", "fr", "ja", "ku", "nb", "sr", "zh"})
        EXPECT_EQ(KnownLanguageOrEnglish(QString::fromLatin1(code)), QString::fromLatin1(code));
    for (const char* code : {"eo", "la", "xx", "fil", ""})
        EXPECT_EQ(KnownLanguageOrEnglish(QString::fromLatin1(code)), QStringLiteral("en")) << code;
}

TEST(Catalogues, TheBuiltGermanCatalogueIsFound)
{
    const QString folder = FindCatalogueFolder(QStringLiteral("units"), QStringLiteral("de"));
    EXPECT_TRUE(Platform::FileExists(folder + QStringLiteral("/de/LC_MESSAGES/units.mo")))
        << folder.toStdString();
    // For a language without a catalogue, the folder of the domain's other catalogues.
    EXPECT_EQ(FindCatalogueFolder(QStringLiteral("units"), QStringLiteral("fr")), folder);
}

// The message language is the process's; the test puts English back.
class Translation : public testing::Test
{
protected:
    TTestDir FDir;
    TScopedEnv FConfig{"XDG_CONFIG_HOME", FDir.Root()};
    void TearDown() override
    {
        InitTranslation(QStringLiteral("Orvanta6/"), QStringLiteral("Orvanta.cfg"), {QStringLiteral("units")},
                        {QStringLiteral("-lang:en")});
    }
};

TEST_F(Translation, InitTranslationSwitchesTheSharedTextsToTheLanguage)
{
    InitTranslation(QStringLiteral("Orvanta6/"), QStringLiteral("Orvanta.cfg"), {QStringLiteral("units")},
                    {QStringLiteral("-lang:de")});
    EXPECT_EQ(GetLanguageCode(), QStringLiteral("de"));
    EXPECT_EQ(GetConfigFileName(), FDir.Path(QStringLiteral("Orvanta6/Orvanta.cfg")));
    EXPECT_EQ(Ordinal(1), QStringLiteral("1. "));
    EXPECT_EQ(Ordinal(22), QStringLiteral("22. "));
    EXPECT_EQ(HelpNotAvailableText(), QStringLiteral("Hilfe ist auf diesem System nicht verfügbar!"));
    EXPECT_EQ(DefaultDriveTemplate(), QStringLiteral("Lw?"));
    EXPECT_EQ(TaskCheckText(tcNotFound, QStringLiteral("x.buj")),
              QStringLiteral("Auftragsdatei nicht gefunden: x.buj"));
    TTextFilter filter(true, true);
    try {
        filter.SetFilter(QStringLiteral("[x"));
        ADD_FAILURE() << "no error";
    } catch (const EFilterError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Ungültige Maske!"));
    }

    InitTranslation(QStringLiteral("Orvanta6/"), QStringLiteral("Orvanta.cfg"), {QStringLiteral("units")},
                    {QStringLiteral("-lang:en")});
    EXPECT_EQ(Ordinal(1), QStringLiteral("1st "));
    EXPECT_EQ(DefaultDriveTemplate(), QStringLiteral("Drv?"));
}

TEST_F(Translation, LanguageOfTheConfigurationFile)
{
    FDir.Write(QStringLiteral("Orvanta6/Orvanta.cfg"), "[Language]\nLangID=de\n");
    InitTranslation(QStringLiteral("Orvanta6/"), QStringLiteral("Orvanta.cfg"), {QStringLiteral("units")},
                    {});
    EXPECT_EQ(GetLanguageCode(), QStringLiteral("de"));
    EXPECT_EQ(Ordinal(3), QStringLiteral("3. "));
}

} // namespace
