// ovtool info: what the start-up helpers find on this machine.

#include "ToolCommand.h"

#include "base/InitProg.h"
#include "base/LangUtils.h"
#include "base/OvUtils.h"

namespace {

QString OrNone(const QString& Text)
{
    return Text.isEmpty() ? QStringLiteral("(none)") : Text;
}

} // namespace

int RunInfoCommand(const QStringList& Args, TToolStreams& Io)
{
    if (!Args.isEmpty()) throw EUsageError(QStringLiteral("\"info\" takes no arguments"));
    InitTranslation(QStringLiteral("Orvanta6/"), QStringLiteral("Orvanta.cfg"), {QStringLiteral("units")},
                    {});
    QString appPath, userPath, progPath;
    GetUserFolders(appPath, userPath, progPath);
    QString name, date;
    GetProgramInfo(QStringLiteral("ovtool"), QString(), 3, name, date);
    const QString mainProgram = FindMainProgram();

    Io.Out << "program:          " << name << BitnessText() << ", " << date << '\n';
    Io.Out << "suite folder:     " << OrNone(appPath) << '\n';
    Io.Out << "documents:        " << OrNone(userPath) << '\n';
    Io.Out << "programs:         " << OrNone(progPath) << '\n';
    Io.Out << "settings folder:  " << OrNone(GetIniPath(appPath)) << '\n';
    Io.Out << "configuration:    " << GetConfigFileName() << '\n';
    Io.Out << "language:         " << GetLanguageCode() << '\n';
    Io.Out << "drive template:   " << DefaultDriveTemplate() << '\n';
    Io.Out << "main program:     "
           << (mainProgram.isEmpty() ? MainProgramName() + QStringLiteral(" not found") : mainProgram)
           << '\n';
    return ExitOk;
}
