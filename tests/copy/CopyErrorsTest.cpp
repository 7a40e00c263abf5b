#include "copy/CopyErrors.h"
#include "copy/FileData.h"

#include "platform/SysErrors.h"

#include <gtest/gtest.h>

namespace {

TEST(CopyErrorText, SeverityMessageFileAndContext)
{
    struct TCase
    {
        int Code;
        const char* File;
        const char* SysText;
        const char* Expected;
    };
    const TCase cases[] = {
        {0x1105, "", "", "Error - Could not write to file (-> Copy)"},
        {0x1080, "", "", "Terminated by user (-> Copy)"},
        {0x0027, "", "", "Unknown error code ($00000027)"},
        {0x50FF, "", "", "Unknown error code ($000050FF) (-> Encrypt)"},
        {0x0107, "", "", "Error - Low disk space"},
        {0x1101, "a.txt", "gone", "Error - Could not create file: \"a.txt\" (gone) (-> Copy)"},
        {0x220F, "a.txt", "", "Warning - Timestamp could not be set: \"a.txt\" (-> gzip)"},
        {0x0325, "a.txt", "why", "Error(2) - Error copying alternate data streams: \"a.txt\" (why)"},
        {0x0128, "a %s.txt", "", "Error - Invalid zip format: \"a %s.txt\""},
        {0x7116, "", "", "Error - Could not open destination file for verification (-> Unzip)"},
        {0x3009, "", "", "Corrupt file (-> gunzip)"},
        {0x6F0B, "", "", "Decryption failed (-> Decrypt)"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(CopyErrorText(c.Code, QString::fromUtf8(c.File), QString::fromUtf8(c.SysText)),
                  QString::fromUtf8(c.Expected))
            << std::hex << c.Code;
    // Low byte 0 is the system's own text for "no error".
    EXPECT_EQ(CopyErrorText(0x4100, QString(), QString()),
              QStringLiteral("Error - ") + Platform::SysErrorMessage(0) + QStringLiteral(" (-> Zip)"));
}

TEST(CopyErrorText, SystemErrorTextCarriesTheCode)
{
    EXPECT_EQ(
        SysErrorText(Platform::ErrDiskFull),
        QStringLiteral("System error: %1 (0x%2)")
            .arg(Platform::SysErrorMessage(Platform::ErrDiskFull))
            .arg(QString::number(Platform::ErrDiskFull, 16).toUpper().rightJustified(8, QLatin1Char('0'))));
}

TEST(ExtendedLengthPath, DrivePathsFromTheLimitUncAlwaysOthersNever)
{
    const QString d247 = QStringLiteral("C:\\") + QString(244, QLatin1Char('a'));
    const QString d248 = d247 + QLatin1Char('b');
    ASSERT_EQ(d247.size(), 247);
    struct TCase
    {
        QString In, Out;
    };
    const TCase cases[] = {
        {d247, d247},
        {d248, QStringLiteral("\\\\?\\") + d248},
        {QStringLiteral("\\\\server\\share\\f.txt"), QStringLiteral("\\\\?\\UNC\\server\\share\\f.txt")},
        {QStringLiteral("\\\\?\\C:\\x"), QStringLiteral("\\\\?\\C:\\x")},
        {QStringLiteral("\\\\?\\UNC\\s\\x"), QStringLiteral("\\\\?\\UNC\\s\\x")},
        {QStringLiteral("/home/user/") + QString(300, QLatin1Char('x')),
         QStringLiteral("/home/user/") + QString(300, QLatin1Char('x'))},
        {QStringLiteral("relative\\") + QString(300, QLatin1Char('x')),
         QStringLiteral("relative\\") + QString(300, QLatin1Char('x'))},
        {QStringLiteral("C"), QStringLiteral("C")},
        {QString(), QString()},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(ExtendedLengthPath(c.In), c.Out) << c.In.left(40).toStdString();
}

} // namespace
