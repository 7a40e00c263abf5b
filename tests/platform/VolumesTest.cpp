#include "platform/Volumes.h"

#include "fixtures/TestFiles.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

using namespace Platform;

TEST(Volumes, DecodesTheKernelsAndUdevsEscapes)
{
    EXPECT_EQ(VolumeParsing::DecodeUdevName("My\\x20Disk\\x2fA"), QStringLiteral("My Disk/A"));
    EXPECT_EQ(VolumeParsing::DecodeUdevName("Sicherung-\xC3\xBC"), QStringLiteral("Sicherung-ü"));
    EXPECT_EQ(VolumeParsing::DecodeUdevName("bad\\xZZ\\x2"), QStringLiteral("bad\\xZZ\\x2"));
    EXPECT_EQ(VolumeParsing::DecodeMountField("/media/My\\040Disk\\134x"),
              QStringLiteral("/media/My Disk\\x"));

    const QList<VolumeParsing::TMountEntry> entries = VolumeParsing::ParseMountInfo(
        "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
        "41 22 8:33 /sub /mnt/My\\040Disk rw master:2 shared:3 - ext4 /dev/sdc1 rw\n"
        "broken line\n"
        "50 22 0:45 / /proc rw - proc proc rw\n");
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entries[1].Major, 8u);
    EXPECT_EQ(entries[1].Minor, 33u);
    EXPECT_EQ(entries[1].Root, QStringLiteral("/sub"));
    EXPECT_EQ(entries[1].MountPoint, QStringLiteral("/mnt/My Disk"));
    EXPECT_EQ(entries[1].FsType, QStringLiteral("ext4"));
    EXPECT_EQ(entries[1].Source, QStringLiteral("/dev/sdc1"));
}

// The host implementation on a by-label folder and a mount table made for the test.
class HostVolumes : public testing::Test
{
protected:
    void SetUp() override
    {
        QDir().mkpath(Dir.Path(QStringLiteral("by-label")));
        const QString sdb = Dir.Write(QStringLiteral("dev/sdb1"), "");
        const QString sdc = Dir.Write(QStringLiteral("dev/sdc1"), "");
        ASSERT_TRUE(QFile::link(sdb, Dir.Path(QStringLiteral("by-label/BACKUP"))));
        ASSERT_TRUE(QFile::link(sdc, Dir.Path(QStringLiteral("by-label/My\\x20Disk"))));
        ASSERT_TRUE(
            QFile::link(Dir.Path(QStringLiteral("dev/gone")), Dir.Path(QStringLiteral("by-label/GONE"))));
        Dir.Write(QStringLiteral("mountinfo"),
                  QStringLiteral("22 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                                 "40 22 8:17 / /media/anna/USB rw - vfat %1 rw\n"
                                 "42 22 8:33 /sub /mnt/bind rw - ext4 %2 rw\n"
                                 "41 22 8:33 / /media/anna/My\\040Disk rw - ext4 %2 rw\n")
                      .arg(sdb, sdc)
                      .toUtf8());
        Host = CreateHostVolumes(Dir.Path(QStringLiteral("by-label")), Dir.Path(QStringLiteral("mountinfo")));
    }

    TTestDir Dir;
    std::unique_ptr<TVolumes> Host;
};

TEST_F(HostVolumes, FindsTheMountOfALabel)
{
    TVolumeInfo info;
    ASSERT_TRUE(Host->FindLabel(QStringLiteral("backup"), info));
    EXPECT_EQ(info.MountPoint, QStringLiteral("/media/anna/USB"));
    EXPECT_EQ(info.Label, QStringLiteral("BACKUP"));
    // The whole file system, not a bind mount of one of its folders.
    ASSERT_TRUE(Host->FindLabel(QStringLiteral("MY DISK"), info));
    EXPECT_EQ(info.MountPoint, QStringLiteral("/media/anna/My Disk"));
    EXPECT_FALSE(Host->FindLabel(QStringLiteral("GONE"), info));
    EXPECT_FALSE(Host->FindLabel(QStringLiteral("NONE"), info));
}

TEST_F(HostVolumes, FindsTheVolumeOfAPath)
{
    TVolumeInfo info;
    ASSERT_TRUE(Host->VolumeOfPath(QStringLiteral("/media/anna/USB/not/there/yet"), info));
    EXPECT_EQ(info.MountPoint, QStringLiteral("/media/anna/USB"));
    EXPECT_EQ(info.Label, QStringLiteral("BACKUP"));
    ASSERT_TRUE(Host->VolumeOfPath(QStringLiteral("/media/anna/USBX"), info));
    EXPECT_EQ(info.MountPoint, QStringLiteral("/"));
    EXPECT_EQ(info.Label, QString());
    EXPECT_FALSE(Host->VolumeOfPath(QStringLiteral("relative/x"), info));

    // Missing files give no volumes at all.
    auto none = CreateHostVolumes(Dir.Path(QStringLiteral("nothing")), Dir.Path(QStringLiteral("nothing")));
    EXPECT_FALSE(none->FindLabel(QStringLiteral("BACKUP"), info));
    EXPECT_FALSE(none->VolumeOfPath(QStringLiteral("/x"), info));
}

TEST(Volumes, AStandInReplacesTheHostForItsScope)
{
    TVolumeTable table;
    table.Add(QStringLiteral("/"), QString());
    table.Add(QStringLiteral("/mnt/b"), QStringLiteral("Backup"));
    TVolumeInfo info;
    {
        TScopedVolumes installed(table);
        EXPECT_EQ(&Volumes(), &table);
        ASSERT_TRUE(Volumes().FindLabel(QStringLiteral("BACKUP"), info));
        EXPECT_EQ(info.MountPoint, QStringLiteral("/mnt/b"));
        ASSERT_TRUE(Volumes().VolumeOfPath(QStringLiteral("/mnt/b/x"), info));
        EXPECT_EQ(info.Label, QStringLiteral("Backup"));
        ASSERT_TRUE(Volumes().VolumeOfPath(QStringLiteral("/mnt/bx"), info));
        EXPECT_EQ(info.MountPoint, QStringLiteral("/"));
    }
    EXPECT_NE(&Volumes(), &table);
    // The machine's own root file system is always found.
    ASSERT_TRUE(Volumes().VolumeOfPath(QDir::tempPath(), info));
    EXPECT_FALSE(info.MountPoint.isEmpty());
}

} // namespace
