#include "base/DriveUtils.h"

#include <gtest/gtest.h>

namespace {

TEST(DriveUtils, ResolvesTheVolumeLabelForm)
{
    Platform::TVolumeTable volumes;
    volumes.Add(QStringLiteral("/media/anna/USB"), QStringLiteral("BACKUP"));
    volumes.Add(QStringLiteral("/"), QStringLiteral("ROOT"));
    const struct
    {
        const char* Path;
        TVolumeResolve Result;
        const char* Resolved;
    } cases[] = {
        {":backup:\\data", TVolumeResolve::Resolved, "/media/anna/USB/data"},
        {":BACKUP:/data/x", TVolumeResolve::Resolved, "/media/anna/USB/data/x"},
        {":Backup:", TVolumeResolve::Resolved, "/media/anna/USB"},
        {":root:/x", TVolumeResolve::Resolved, "/x"},
        {":root:", TVolumeResolve::Resolved, "/"},
        {":OTHER:\\data", TVolumeResolve::VolumeMissing, ""},
        {"/media/b", TVolumeResolve::NotLabelForm, "/media/b"},
        {"::x", TVolumeResolve::NotLabelForm, "::x"},
        {":nolabelend", TVolumeResolve::NotLabelForm, ":nolabelend"},
    };
    for (const auto& c : cases) {
        QString resolved = QStringLiteral("junk");
        EXPECT_EQ(ResolveVolumeLabelPath(QString::fromUtf8(c.Path), resolved, volumes), c.Result) << c.Path;
        EXPECT_EQ(resolved, QString::fromUtf8(c.Resolved)) << c.Path;
    }
}

TEST(DriveUtils, DrivesAndAbsolutePathsInBothForms)
{
    EXPECT_EQ(ExtractFileDrive(QStringLiteral("C:\\x")), QStringLiteral("C:"));
    EXPECT_EQ(ExtractFileDrive(QStringLiteral("\\\\srv\\share\\dir\\x")), QStringLiteral("\\\\srv\\share"));
    EXPECT_EQ(ExtractFileDrive(QStringLiteral("\\\\srv\\share")), QStringLiteral("\\\\srv\\share"));
    EXPECT_EQ(ExtractFileDrive(QStringLiteral("/media/x")), QString());
    for (const char* absolute : {"/x", "C:\\x", "c:/x", "\\\\srv\\share\\x"})
        EXPECT_TRUE(IsAbsolutePathAnyForm(QString::fromUtf8(absolute))) << absolute;
    for (const char* relative : {"x", "C:x", "%dest%\\x", ":L:\\x", "\\x"})
        EXPECT_FALSE(IsAbsolutePathAnyForm(QString::fromUtf8(relative))) << relative;
}

} // namespace
