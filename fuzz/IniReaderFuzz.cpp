// Feeds arbitrary bytes to the settings-file reader: it must never crash, and whatever it read
// must come back unchanged after writing the file and reading it again.
#include "base/MemIniFile.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void Fail(const char* What, const QString& Section, const QString& Key)
{
    std::fprintf(stderr, "%s: [%s] %s\n", What, qPrintable(Section), qPrintable(Key));
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    const QByteArray content(reinterpret_cast<const char*>(Data), static_cast<qsizetype>(Size));
    const TMemIniFile first = TMemIniFile::FromBytes(content);
    const TMemIniFile second = TMemIniFile::FromBytes(first.ToBytes());

    const QStringList sections = first.ReadSections();
    if (second.ReadSections() != sections) Fail("sections differ", QString(), QString());
    for (const QString& section : sections) {
        const QStringList keys = first.ReadSection(section);
        if (second.ReadSection(section) != keys) Fail("keys differ", section, QString());
        for (const QString& key : keys) {
            if (!first.ValueExists(section, key)) Fail("listed key missing", section, key);
            const QString value = first.ReadString(section, key, QString());
            if (second.ReadString(section, key, QStringLiteral("\x01missing")) != value)
                Fail("value differs", section, key);
            if (second.ReadInteger(section, key, 0) != first.ReadInteger(section, key, 0))
                Fail("number differs", section, key);
        }
        if (second.ReadSectionValues(section) != first.ReadSectionValues(section))
            Fail("section values differ", section, QString());
    }
    if (second.ToText() != first.ToText()) Fail("text differs", QString(), QString());
    return 0;
}
