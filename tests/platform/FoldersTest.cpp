#include "platform/CommandLine.h"
#include "platform/KnownFolders.h"
#include "platform/MessageCatalog.h"
#include "platform/ProcessInfo.h"
#include "platform/Registry.h"

#include "fixtures/TestFiles.h"

#include <gtest/gtest.h>

using namespace Platform;

namespace {

TEST(KnownFolders, FollowTheXdgVariables)
{
    TTestDir dir;
    TScopedEnv home("HOME", dir.Root());
    {
        TScopedEnv config("XDG_CONFIG_HOME", dir.Path(QStringLiteral("cfg")));
        TScopedEnv data("XDG_DATA_HOME", dir.Path(QStringLiteral("data")));
        EXPECT_EQ(KnownFolderPath(TKnownFolder::RoamingAppData), dir.Path(QStringLiteral("cfg")));
        EXPECT_EQ(KnownFolderPath(TKnownFolder::LocalAppData), dir.Path(QStringLiteral("data")));
        EXPECT_EQ(KnownFolderPath(TKnownFolder::Startup), dir.Path(QStringLiteral("cfg/autostart")));
        EXPECT_EQ(RegistryFile(TRegistryRoot::CurrentUser),
                  dir.Path(QStringLiteral("cfg/Orvanta6/registry.ini")));
    }
    // Relative values do not count.
    TScopedEnv config("XDG_CONFIG_HOME", QStringLiteral("relative/cfg"));
    EXPECT_EQ(KnownFolderPath(TKnownFolder::RoamingAppData), dir.Path(QStringLiteral(".config")));

    dir.Write(QStringLiteral(".config/user-dirs.dirs"), "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n");
    TScopedEnv config2("XDG_CONFIG_HOME", dir.Path(QStringLiteral(".config")));
    EXPECT_EQ(KnownFolderPath(TKnownFolder::Documents), dir.Path(QStringLiteral("Dokumente")));
}

TEST(Registry, FilesCanBeRedirected)
{
    TScopedEnv user("OV_REGISTRY_USER", QStringLiteral("/tmp/u.ini"));
    TScopedEnv machine("OV_REGISTRY_MACHINE", QStringLiteral("/tmp/m.ini"));
    EXPECT_EQ(RegistryFile(TRegistryRoot::CurrentUser), QStringLiteral("/tmp/u.ini"));
    EXPECT_EQ(RegistryFile(TRegistryRoot::LocalMachine), QStringLiteral("/tmp/m.ini"));
    qunsetenv("OV_REGISTRY_MACHINE");
    EXPECT_EQ(RegistryFile(TRegistryRoot::LocalMachine), QStringLiteral("/etc/Orvanta6/registry.ini"));
}

TEST(MessageCatalog, LanguageComesFromTheLocale)
{
    struct TCase
    {
        const char* LcAll;
        const char* LcMessages;
        const char* Lang;
        const char* Code;
    } cases[] = {
        {"", "", "de_DE.UTF-8", "de"},
        {"", "fr_CA", "de_DE", "fr"},
        {"pt_BR@x", "fr", "de", "pt"},
        {"", "", "C", "en"},
        {"", "", "POSIX", "en"},
        {"", "", "C.UTF-8", "en"},
        {"", "", "", "en"},
    };
    for (const TCase& c : cases) {
        TScopedEnv a("LC_ALL", QString::fromLatin1(c.LcAll));
        TScopedEnv m("LC_MESSAGES", QString::fromLatin1(c.LcMessages));
        TScopedEnv l("LANG", QString::fromLatin1(c.Lang));
        EXPECT_EQ(UserLanguageCode(), QString::fromLatin1(c.Code))
            << c.LcAll << "|" << c.LcMessages << "|" << c.Lang;
    }
}

TEST(ProcessInfo, DescribesTheRunningExecutable)
{
    EXPECT_EQ(ExecutableName(), QStringLiteral("platform_tests"));
    EXPECT_TRUE(ExecutableFolder().endsWith(QLatin1Char('/')));
    EXPECT_EQ(ExecutableFolder() + ExecutableName(), ExecutablePath());
    const TVersionValues v = ReadVersionValues();
    EXPECT_TRUE(v.Present);
    EXPECT_EQ(v.FileVersion.count(QLatin1Char('.')), 3);
    EXPECT_EQ(v.InternalName, QStringLiteral("platform_tests"));
    EXPECT_EQ(Is64BitProcess(), sizeof(void*) == 8);
}

TEST(CommandLine, OptionsBeginWithADash)
{
    QString word;
    EXPECT_TRUE(SplitOptionPrefix(QStringLiteral("-hide"), word));
    EXPECT_EQ(word, QStringLiteral("hide"));
    EXPECT_TRUE(SplitOptionPrefix(QStringLiteral("--lang:de"), word));
    EXPECT_EQ(word, QStringLiteral("lang:de"));
    EXPECT_TRUE(SplitOptionPrefix(QStringLiteral("-"), word));
    EXPECT_EQ(word, QString());
    EXPECT_FALSE(SplitOptionPrefix(QStringLiteral("/home/u/task.buj"), word));
    EXPECT_FALSE(SplitOptionPrefix(QStringLiteral("group"), word));
}

} // namespace
