#include "base/InitProg.h"

#include "fixtures/Faults.h"
#include "fixtures/TestFiles.h"

#include "platform/FileSystem.h"
#include "platform/FileTime.h"
#include "platform/SysErrors.h"

#include <gtest/gtest.h>

using namespace Platform;

namespace {

// A user whose desktop folders and registry files all lie in a temporary folder.
class InitProg : public testing::Test
{
protected:
    TTestDir FDir;
    TScopedEnv FConfig{"XDG_CONFIG_HOME", FDir.Path(QStringLiteral("config"))};
    TScopedEnv FUserRegistry{"OV_REGISTRY_USER", FDir.Path(QStringLiteral("user.ini"))};
    TScopedEnv FMachineRegistry{"OV_REGISTRY_MACHINE", FDir.Path(QStringLiteral("machine.ini"))};

    QString Root(const char* Name) const { return FDir.Path(QString::fromUtf8(Name)); }
    void WriteRegistry(const char* File, const char* Value, const QString& Text) const
    {
        FDir.Write(QString::fromUtf8(File),
                   "[Software\\Orvanta6]\n" + QByteArray(Value) + '=' + Text.toUtf8() + '\n');
    }
    static TFileTime WriteTime(const QString& Name)
    {
        TFileTimestamps t;
        EXPECT_EQ(GetFileTimes(Name, t), 0);
        return t.LastWriteTime;
    }
    // A settings file written a while ago, so that a copy that drops the time stamp shows.
    QString WriteOldSettings(const char* Name, const QByteArray& Content) const
    {
        const QString file = FDir.Write(QString::fromUtf8(Name), Content);
        EXPECT_EQ(SetFileTimes(file, {0, 0, FileTimeFromUnix(1600000000, 0)}), 0);
        return file;
    }
};

TEST_F(InitProg, UserFoldersComeFromTheDesktop)
{
    QString appPath, userPath, progPath;
    GetUserFolders(appPath, userPath, progPath);
    EXPECT_EQ(appPath, Root("config") + QStringLiteral("/Orvanta6/"));
    EXPECT_FALSE(userPath.isEmpty());
    EXPECT_TRUE(userPath.endsWith(QLatin1Char('/')));
    EXPECT_TRUE(progPath.endsWith(QLatin1Char('/')));
    EXPECT_EQ(progPath, GetProgramFolder(TProgramFolder::pfProgramFiles));
}

TEST_F(InitProg, BitnessProgramFoldersTakeTheirVariableFirst)
{
    {
        TScopedEnv p64("ProgramW6432", Root("p64"));
        TScopedEnv c86("CommonProgramFiles(x86)", Root("c86/"));
        EXPECT_EQ(GetProgramFolder(TProgramFolder::pfProgramFiles64), Root("p64") + QLatin1Char('/'));
        EXPECT_EQ(GetProgramFolder(TProgramFolder::pfCommonFilesX86), Root("c86/"));
    }
    TScopedEnv empty("ProgramFiles(x86)", QString());
    EXPECT_EQ(GetProgramFolder(TProgramFolder::pfProgramFilesX86),
              GetProgramFolder(TProgramFolder::pfProgramFiles));
    EXPECT_EQ(GetProgramFolder(TProgramFolder::pfCommonFiles64),
              GetProgramFolder(TProgramFolder::pfCommonFiles));
}

TEST_F(InitProg, IniPathFromTheUserRegistryOrTheDefault)
{
    const QString fallback = QStringLiteral("Orvanta6/");
    EXPECT_EQ(GetIniPath(fallback), fallback); // no registry file
    WriteRegistry("user.ini", "IniPath", QString());
    EXPECT_EQ(GetIniPath(fallback), fallback);
    WriteRegistry("user.ini", "IniPath", Root("my settings"));
    EXPECT_EQ(GetIniPath(fallback), Root("my settings") + QLatin1Char('/'));
    // The machine's registry is not asked.
    FDir.Write(QStringLiteral("user.ini"), QByteArray());
    WriteRegistry("machine.ini", "IniPath", Root("machine"));
    EXPECT_EQ(GetIniPath(fallback), fallback);
}

TEST_F(InitProg, FirstStartWithIniPathCopiesTheSettingsOver)
{
    const QString appPath = Root("config/Orvanta6/");
    const QString old = WriteOldSettings("config/Orvanta6/OvSentry.ini", "[Config]\nInterval=600\n");
    WriteRegistry("user.ini", "IniPath", Root("custom"));

    const QString folder = GetSettingsFolder(appPath);
    EXPECT_EQ(folder, Root("custom/"));
    EXPECT_TRUE(DirectoryExists(folder));
    const QString settings = folder + QStringLiteral("OvSentry.ini");
    EXPECT_TRUE(TakeOverSettings(appPath, settings));
    EXPECT_EQ(ReadAll(settings), ReadAll(old));
    EXPECT_EQ(WriteTime(settings), WriteTime(old));

    // Next start: the file is there and stays as it is.
    FDir.Write(QStringLiteral("config/Orvanta6/OvSentry.ini"), "[Config]\nInterval=60\n");
    EXPECT_FALSE(TakeOverSettings(appPath, settings));
    EXPECT_EQ(ReadAll(settings), QByteArray("[Config]\nInterval=600\n"));
}

TEST_F(InitProg, TakeOverSettingsResults)
{
    const QString appPath = Root("config/Orvanta6/");
    // The settings file is the one in AppPath itself, whether it exists or not.
    EXPECT_TRUE(TakeOverSettings(appPath, appPath + QStringLiteral("OvSentry.ini")));
    // Nothing to bring over.
    EXPECT_FALSE(TakeOverSettings(appPath, Root("custom/OvSentry.ini")));
    EXPECT_FALSE(FileExists(Root("custom/OvSentry.ini")));
}

TEST_F(InitProg, AFailedTakeOverIsIgnored)
{
    FDir.Write(QStringLiteral("config/Orvanta6/OvSentry.ini"), "[Config]\n");
    FDir.Write(QStringLiteral("custom/keep"), QByteArray());
    TRefuse refuse(TFileOp::Create, Root("custom/"), ErrAccessDenied);
    TScopedFaultInjector installed(refuse);
    EXPECT_TRUE(TakeOverSettings(Root("config/Orvanta6/"), Root("custom/OvSentry.ini")));
    EXPECT_FALSE(FileExists(Root("custom/OvSentry.ini")));
}

TEST_F(InitProg, OldSettingsComeFromOrvanta5)
{
    const QString old = WriteOldSettings("config/Orvanta5/OvLauncher.ini", "[Groups]\nCount=2\n");
    const QString settings = Root("custom/OvLauncher.ini");
    FDir.Write(QStringLiteral("custom/keep"), QByteArray());
    TakeOverOldSettings(Root("config"), settings);
    EXPECT_EQ(ReadAll(settings), ReadAll(old));
    EXPECT_EQ(WriteTime(settings), WriteTime(old));

    FDir.Write(QStringLiteral("config/Orvanta5/OvLauncher.ini"), "[Groups]\nCount=0\n");
    TakeOverOldSettings(Root("config/"), settings);
    EXPECT_EQ(ReadAll(settings), QByteArray("[Groups]\nCount=2\n"));
}

TEST_F(InitProg, SettingsFolderFallsBackToAppPathWhenItCannotBeCreated)
{
    FDir.Write(QStringLiteral("plain"), "not a folder");
    WriteRegistry("user.ini", "IniPath", Root("plain/sub"));
    EXPECT_EQ(GetSettingsFolder(Root("config/Orvanta6/")), Root("config/Orvanta6/"));
}

TEST_F(InitProg, MainProgramIsLookedForInOrder)
{
    TProgramEnvironment env{Root("prog/"), QStringLiteral("OvSentry"), Root("config"), Root("cwd")};
    FDir.Write(QStringLiteral("cwd/Orvanta/keep"), QByteArray()); // a folder of that name does not count
    EXPECT_EQ(FindMainProgram(env), QString());

    const QString installed = FDir.Write(QStringLiteral("inst/Orvanta"), "#!");
    WriteRegistry("machine.ini", "Program", Root("inst/missing"));
    EXPECT_EQ(FindMainProgram(env), QString());
    WriteRegistry("machine.ini", "Program", installed);
    EXPECT_EQ(FindMainProgram(env), installed);

    const QString beside = FDir.Write(QStringLiteral("prog/Orvanta"), "#!");
    EXPECT_EQ(FindMainProgram(env), beside);
    env.CurrentFolder = Root("here");
    const QString current = FDir.Write(QStringLiteral("here/Orvanta"), "#!");
    EXPECT_EQ(FindMainProgram(env), current);
}

} // namespace
