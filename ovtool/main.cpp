// ovtool: the shared library of the suite from the command line, for scripts and benchmarks.

#include "ToolCommand.h"

#include <QCoreApplication>

#include <exception>

namespace {

const TToolCommand Commands[] = {
    {"ini",
     "ini get FILE SECTION KEY\n"
     "ini set FILE SECTION KEY VALUE\n"
     "ini dump FILE",
     RunIniCommand},
    {"info", "info", RunInfoCommand},
    {"encrypt", "encrypt --password-file F [--key-mode 1|2|3] SRC DST   (AES-256 unless given)",
     RunEncryptCommand},
    {"decrypt", "decrypt --password-file F [--key-mode 1|2|3] SRC DST", RunDecryptCommand},
    {"watch", "watch [--no-subtree] [--seconds N] DIR", RunWatchCommand},
    {"copy",
     "copy SRC DST [--gzip | --zip [--store]] [--encrypt --password-file F [--key-mode 1|2|3]] [--verify] "
     "[--overwrite] [--no-attributes] [--no-time] [--alt-streams] [--acl] [--progress]",
     RunCopyCommand},
    {"verify", "verify FILE --gzip|--zip|--encrypted [--source SRC] [--password-file F]", RunVerifyCommand},
    {"filter", "filter [--regex] [--mode include|exclude|off] [--dir] PATTERN [NAME...]", RunFilterCommand},
    {"checktask", "checktask [--sources] FILE", RunCheckTaskCommand},
    {"task",
     "task show FILE\n"
     "task logname FILE LOGFOLDER",
     RunTaskCommand},
    {"expand",
     "expand [--now YYYY-MM-DDTHH:MM:SS] [--counter N] [--volume V] [--dest D] [--set date|path|dest|log] "
     "TEXT",
     RunExpandCommand},
    {"volume", "volume :LABEL:PATH | PATH", RunVolumeCommand},
    {"backup",
     "backup --id N --source DIR --dest DIR [--drive-template T] [--compress 0|1|2] "
     "[--no-compress-list EXTS] [--retain R] NAME...",
     RunBackupCommand},
};

void PrintUsage(QTextStream& Err, const TToolCommand* Only = nullptr)
{
    Err << "usage:\n";
    for (const TToolCommand& c : Commands) {
        if (Only && Only != &c) continue;
        for (const QString& line : QString::fromUtf8(c.Usage).split(QLatin1Char('\n')))
            Err << "  ovtool " << line << '\n';
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    TToolStreams io{out, err};

    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty() || args.first() == QLatin1String("--help") || args.first() == QLatin1String("-h")) {
        PrintUsage(args.isEmpty() ? err : out);
        return args.isEmpty() ? ExitUsage : ExitOk;
    }
    const QString name = args.takeFirst();
    for (const TToolCommand& c : Commands) {
        if (name != QLatin1String(c.Name)) continue;
        try {
            return c.Run(args, io);
        } catch (const EUsageError& e) {
            err << "ovtool " << name << ": " << e.Message() << '\n';
            PrintUsage(err, &c);
            return ExitUsage;
        } catch (const Exception& e) {
            err << "ovtool " << name << ": " << e.Message() << '\n';
            return ExitFailure;
        } catch (const std::exception& e) {
            err << "ovtool " << name << ": " << e.what() << '\n';
            return ExitFailure;
        }
    }
    err << "ovtool: unknown command \"" << name << "\"\n";
    PrintUsage(err);
    return ExitUsage;
}
