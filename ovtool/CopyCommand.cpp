// ovtool copy: one file through one copy thread, the way the programs copy their files.

#include "ToolCommand.h"

#include "base/LangUtils.h"
#include "base/SafeFormat.h"

#include "copy/AesLib.h"
#include "copy/ExtFileTools.h"

#include "platform/FileSystem.h"
#include "platform/SysErrors.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QRandomGenerator>

namespace {

constexpr quint32 BufSize = 262144;

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

// Progress on stderr, one line per whole percent and kind of work.
void SetProgressPrinter(TCopyThread& Thread, TToolStreams& Io)
{
    auto last = std::make_shared<std::pair<TFileAction, int>>(acNone, -1);
    auto total = std::make_shared<qint64>(0);
    Thread.SetOnProgress([&Io, last, total](TFileAction Action, qint64 Count, bool) {
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

// Runs the thread to its end while this thread serves its reports.
void RunToEnd(TCopyThread& Thread)
{
    QEventLoop loop;
    QObject::connect(&Thread, &QThread::finished, &loop, &QEventLoop::quit);
    Thread.Start();
    if (!Thread.isFinished()) loop.exec();
    Thread.wait();
}

} // namespace

int RunCopyCommand(const QStringList& Args, TToolStreams& Io)
{
    QStringList names;
    TCopyOptions options{coAttributes, coTimeStamp, coCreationTime, coCheckTime};
    bool progress = false, gzip = false, zip = false, store = false, encrypt = false;
    QString passwordFile;
    int keyMode = 3;
    for (qsizetype i = 0; i < Args.size(); ++i) {
        const QString& arg = Args[i];
        if (arg == QLatin1String("--password-file") || arg == QLatin1String("--key-mode")) {
            if (i + 1 >= Args.size())
                throw EUsageError(SafeFormat(QStringLiteral("%s needs a value"), {arg}));
            const QString value = Args[++i];
            if (arg == QLatin1String("--password-file")) {
                passwordFile = value;
            } else {
                bool ok = false;
                keyMode = value.toInt(&ok);
                if (!ok || keyMode < 1 || keyMode > 3)
                    throw EUsageError(
                        QStringLiteral("--key-mode is 1 (AES-128), 2 (AES-192) or 3 (AES-256)"));
            }
        } else if (arg == QLatin1String("--gzip"))
            gzip = true;
        else if (arg == QLatin1String("--zip"))
            zip = true;
        else if (arg == QLatin1String("--store"))
            store = true;
        else if (arg == QLatin1String("--encrypt"))
            encrypt = true;
        else if (arg == QLatin1String("--verify"))
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
    if (gzip && zip) throw EUsageError(QStringLiteral("--gzip and --zip exclude each other"));
    if (store && !zip) throw EUsageError(QStringLiteral("--store goes with --zip"));
    if (encrypt != !passwordFile.isEmpty())
        throw EUsageError(QStringLiteral("--encrypt and --password-file go together"));
    if (gzip) options += coCompress;
    if (zip) {
        options += coZipCompress;
        if (!store) options += coCompress;
    }
    if (names.size() != 2) throw EUsageError(QStringLiteral("\"copy\" takes a source and a destination"));
    InitTranslation(QStringLiteral("Orvanta6/"), QStringLiteral("Orvanta.cfg"), {QStringLiteral("units")},
                    {});

    const QString source = names[0];
    const QString dest = names[1];
    std::unique_ptr<TEncryption> crypt;
    if (encrypt) crypt = std::make_unique<TEncryption>(ReadPasswordFile(passwordFile), keyMode, BufSize);
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

    TWinCopyThread thread(source, target, crypt.get(), options, true, TCopyThread::DefaultBufferSize);
    if (progress) SetProgressPrinter(thread, Io);
    RunToEnd(thread);

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

int RunVerifyCommand(const QStringList& Args, TToolStreams& Io)
{
    QStringList names;
    QString source, passwordFile;
    int formats = 0;
    TVerifyFormat format = TVerifyFormat::vfGZip;
    bool progress = false;
    for (qsizetype i = 0; i < Args.size(); ++i) {
        const QString& arg = Args[i];
        if (arg == QLatin1String("--source") || arg == QLatin1String("--password-file")) {
            if (i + 1 >= Args.size())
                throw EUsageError(SafeFormat(QStringLiteral("%s needs a value"), {arg}));
            (arg == QLatin1String("--source") ? source : passwordFile) = Args[++i];
        } else if (arg == QLatin1String("--gzip") || arg == QLatin1String("--zip") ||
                   arg == QLatin1String("--encrypted")) {
            ++formats;
            format = arg == QLatin1String("--gzip")  ? TVerifyFormat::vfGZip
                     : arg == QLatin1String("--zip") ? TVerifyFormat::vfZip
                                                     : TVerifyFormat::vfEncrypted;
        } else if (arg == QLatin1String("--progress")) {
            progress = true;
        } else if (arg.startsWith(QLatin1String("--"))) {
            throw EUsageError(SafeFormat(QStringLiteral("unknown option \"%s\""), {arg}));
        } else {
            names.append(arg);
        }
    }
    if (names.size() != 1) throw EUsageError(QStringLiteral("\"verify\" takes one file"));
    if (formats != 1) throw EUsageError(QStringLiteral("one of --gzip, --zip and --encrypted is needed"));
    if (format == TVerifyFormat::vfEncrypted && passwordFile.isEmpty())
        throw EUsageError(QStringLiteral("--encrypted needs --password-file"));
    InitTranslation(QStringLiteral("Orvanta6/"), QStringLiteral("Orvanta.cfg"), {QStringLiteral("units")},
                    {});
    // The key mode comes from the file; 0 leaves the choice to it.
    std::unique_ptr<TEncryption> crypt;
    if (!passwordFile.isEmpty())
        crypt = std::make_unique<TEncryption>(ReadPasswordFile(passwordFile), 0, BufSize);
    TVerifyThread thread(names[0], format, source, crypt.get(), true);
    thread.SetVerifyDelay(0); // a file to check now: no waiting for a writer to let go of it
    if (progress) SetProgressPrinter(thread, Io);
    RunToEnd(thread);
    if (const int code = thread.ErrorCode()) {
        const bool aboutSource = (code & 0xFFF) == ceOpenSource || (code & 0xFFF) == ceRead;
        Io.Err << SafeFormat(QStringLiteral("0x%.4x\t"), {code})
               << CopyErrorText(code, aboutSource ? source : names[0], thread.SysErrorMsg()) << '\n';
        return ExitFailure;
    }
    Io.Out << "ok\n";
    return ExitOk;
}
