// Copies a file, or every file of a folder, with one copy thread per file as the programs do, and
// prints the wall time. Usage: copy_bench [--gzip | --zip | --zip-aes PASSWORD] SRC DST
// (DST is a new file, or a new folder for a folder; the archives get ".gz" or ".zip" added).

#include "copy/AesLib.h"
#include "copy/ExtFileTools.h"

#include "platform/FileSystem.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>

#include <memory>

namespace {

TCopyOptions Options{coAttributes, coTimeStamp, coCheckTime};
QString Extension;
TEncryption* Crypt = nullptr;

int CopyOne(const QString& Source, const QString& Dest)
{
    TWinCopyThread thread(Source, Dest + Extension, Crypt, Options, true, TCopyThread::DefaultBufferSize);
    // No progress handler, so nothing calls back into this thread: it may simply wait.
    thread.Start();
    thread.wait();
    if (thread.ErrorCode() != 0)
        QTextStream(stderr) << CopyErrorText(thread.ErrorCode(), Dest, thread.SysErrorMsg()) << '\n';
    return thread.ErrorCode();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments();
    std::unique_ptr<TEncryption> crypt;
    if (args.size() > 1 && args[1] == QLatin1String("--gzip")) {
        Options += coCompress;
        Extension = QStringLiteral(".gz");
        args.removeAt(1);
    } else if (args.size() > 1 && args[1] == QLatin1String("--zip")) {
        Options += coZipCompress;
        Options += coCompress;
        Extension = QStringLiteral(".zip");
        args.removeAt(1);
    } else if (args.size() > 2 && args[1] == QLatin1String("--zip-aes")) {
        Options += coZipCompress;
        crypt = std::make_unique<TEncryption>(args[2].toUtf8(), 3, 262144);
        Crypt = crypt.get();
        Extension = QStringLiteral(".zip");
        args.remove(1, 2);
    }
    if (args.size() != 3) {
        QTextStream(stderr) << "usage: copy_bench [--gzip | --zip | --zip-aes PASSWORD] SRC DST\n";
        return 2;
    }
    QElapsedTimer timer;
    timer.start();
    int files = 0;
    if (Platform::DirectoryExists(args[1])) {
        QList<Platform::TFindData> entries;
        if (Platform::ListDirectory(args[1], entries) != 0 || Platform::ForceDirectories(args[2]) != 0)
            return 1;
        for (const Platform::TFindData& e : entries) {
            if (e.Attributes & Platform::faDirectory) continue;
            if (CopyOne(args[1] + QLatin1Char('/') + e.Name, args[2] + QLatin1Char('/') + e.Name) != 0)
                return 1;
            ++files;
        }
    } else {
        if (CopyOne(args[1], args[2]) != 0) return 1;
        files = 1;
    }
    QTextStream(stdout) << "files " << files << " ms " << timer.nsecsElapsed() / 1e6 << '\n';
    return 0;
}
