// ovtool copy: one file through one copy thread, the way the programs copy their files.

#include "ToolCommand.h"

#include "base/LangUtils.h"
#include "base/SafeFormat.h"

#include "copy/ExtFileTools.h"

#include "platform/FileSystem.h"
#include "platform/SysErrors.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QRandomGenerator>

namespace {

const char* ActionName(TFileAction Action)
{
    switch (Action) {
    case acCopy:
        return "copy";
    case acCompress:
        return "compress";
    case acUnCompress:
        return "uncompress";
    case acEncrypt:
        return "encrypt";
    case acDecrypt:
        return "decrypt";
    case acVerify:
        return "verify";
    default:
        return "prepare";
    }
}

// An empty new file beside Name, for a copy that replaces Name only once it is complete.
QString CreateTempBeside(const QString& Name, int& Error)
{
    const QFileInfo info(Name);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString temp =
            info.absolutePath() + QStringLiteral("/.") + info.fileName() +
            QStringLiteral(".%1.tmp").arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        Platform::TFile file;
        Error = file.CreateNew(temp);
        if (Error == 0) return temp;
        if (Error != Platform::ErrFileExists) return {};
    }
    return {};
}

} // namespace

int RunCopyCommand(const QStringList& Args, TToolStreams& Io)
{
    QStringList names;
    TCopyOptions options{coAttributes, coTimeStamp, coCreationTime, coCheckTime};
    bool progress = false;
    for (const QString& arg : Args) {
        if (arg == QLatin1String("--verify"))
            options += coVerify;
        else if (arg == QLatin1String("--overwrite"))
            options += coOverwrite;
        else if (arg == QLatin1String("--no-attributes"))
            options -= coAttributes;
        else if (arg == QLatin1String("--no-time"))
            options -= coTimeStamp;
        else if (arg == QLatin1String("--alt-streams"))
            options += coAltStreams;
        else if (arg == QLatin1String("--acl"))
            options += coPermissions;
        else if (arg == QLatin1String("--progress"))
            progress = true;
        else if (arg.startsWith(QLatin1String("--")))
            throw EUsageError(SafeFormat(QStringLiteral("unknown option \"%s\""), {arg}));
        else
            names.append(arg);
    }
    if (names.size() != 2) throw EUsageError(QStringLiteral("\"copy\" takes a source and a destination"));
    InitTranslation(QStringLiteral("Orvanta6/"), QStringLiteral("Orvanta.cfg"), {QStringLiteral("units")},
                    {});

    const QString source = names[0];
    const QString dest = names[1];
    const bool existed = Platform::FileExists(dest);
    // An existing destination is replaced only by a complete copy: the copy goes to a new file
    // beside it, which takes its place at the end.
    QString target = dest;
    if (existed && options.Contains(coOverwrite) && !Platform::SameFile(source, dest)) {
        int err = 0;
        target = CreateTempBeside(dest, err);
        if (target.isEmpty()) {
            Io.Err << SafeFormat(QStringLiteral("0x%.4x\t"), {ceCreateDest | etCopy})
                   << CopyErrorText(ceCreateDest | etCopy, dest, SysErrorText(err)) << '\n';
            return ExitFailure;
        }
    }

    TWinCopyThread thread(source, target, nullptr, options, true, TCopyThread::DefaultBufferSize);
    if (progress) {
        auto last = std::make_shared<std::pair<TFileAction, int>>(acNone, -1);
        auto total = std::make_shared<qint64>(0);
        thread.SetOnProgress([&Io, last, total](TFileAction Action, qint64 Count, bool) {
            if (Count < 0) {
                *total = -Count;
                *last = {Action, -1};
                return;
            }
            const int percent = *total > 0 ? static_cast<int>(Count * 100 / *total) : 100;
            if (last->first == Action && last->second == percent) return;
            *last = {Action, percent};
            Io.Err << ActionName(Action) << ' ' << percent << "%\n";
            Io.Err.flush();
        });
    }
    QEventLoop loop;
    QObject::connect(&thread, &QThread::finished, &loop, &QEventLoop::quit);
    thread.Start();
    if (!thread.isFinished()) loop.exec();
    thread.wait();

    int code = thread.ErrorCode();
    QString sysText = thread.SysErrorMsg();
    const bool dataComplete = code == 0 || IsCopyWarning(code);
    if (target != dest) {
        if (dataComplete) {
            if (const int err = Platform::RenameFile(target, dest)) {
                code = 0x123 | thread.ErrorType(); // could not rename the temporary file
                sysText = SysErrorText(err);
                Platform::DeleteFile(target);
            }
        } else {
            Platform::DeleteFile(target);
        }
    } else if (!dataComplete && !existed && (code & 0xFFF) != ceCreateDest) {
        Platform::DeleteFile(dest); // what this copy created and could not finish
    }
    if (code != 0) {
        const int step = code & 0xFFF;
        const bool aboutSource = step == ceNotFound || step == ceOpenSource || step == ceRead;
        Io.Err << SafeFormat(QStringLiteral("0x%.4x\t"), {code})
               << CopyErrorText(code, aboutSource ? source : dest, sysText) << '\n';
        return ExitFailure;
    }
    Io.Out << SafeFormat(QStringLiteral("ratio %d.%d%%"), {thread.Ratio() / 10, thread.Ratio() % 10}) << '\n';
    return ExitOk;
}
