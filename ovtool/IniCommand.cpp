// ovtool ini: reads and writes settings files through the suite's own settings-file class.

#include "ToolCommand.h"

#include "base/IniFileUtils.h"
#include "base/SafeFormat.h"

int RunIniCommand(const QStringList& Args, TToolStreams& Io)
{
    const QString verb = Args.value(0);
    auto expect = [&](qsizetype Count) {
        if (Args.size() != Count)
            throw EUsageError(
                SafeFormat(QStringLiteral("\"%s\" takes %d arguments"), {verb, int(Count - 1)}));
    };
    if (verb == QLatin1String("get")) {
        expect(4);
        const auto ini = TUnicodeIniFile::CreateForRead(Args[1]);
        if (!ini->ValueExists(Args[2], Args[3])) {
            Io.Err << SafeFormat(QStringLiteral("ovtool ini: no key \"%s\" in section \"%s\" of \"%s\""),
                                 {Args[3], Args[2], Args[1]})
                   << '\n';
            return ExitFailure;
        }
        Io.Out << ini->ReadString(Args[2], Args[3], QString()) << '\n';
        return ExitOk;
    }
    if (verb == QLatin1String("set")) {
        expect(5);
        const auto ini = TUnicodeIniFile::CreateForWrite(Args[1], false);
        ini->WriteString(Args[2], Args[3], Args[4]);
        ini->UpdateFile();
        return ExitOk;
    }
    if (verb == QLatin1String("dump")) {
        expect(2);
        const auto ini = TUnicodeIniFile::CreateForRead(Args[1]);
        for (const QString& section : ini->ReadSections()) {
            Io.Out << '[' << section << "]\n";
            for (const QString& key : ini->ReadSection(section))
                Io.Out << key << '=' << ini->ReadString(section, key, QString()) << '\n';
        }
        return ExitOk;
    }
    throw EUsageError(verb.isEmpty() ? QStringLiteral("get, set or dump?")
                                     : SafeFormat(QStringLiteral("unknown verb \"%s\""), {verb}));
}
