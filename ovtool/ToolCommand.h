#pragma once
// The commands of ovtool: each takes its own arguments and returns the exit code.

#include "base/Errors.h"

#include <QStringList>
#include <QTextStream>

inline constexpr int ExitOk = 0;
inline constexpr int ExitFailure = 1; // the command ran and failed; a sentence on stderr says why
inline constexpr int ExitUsage = 2;   // the command line was wrong

// A wrong command line; the message is printed with the command's usage.
class EUsageError : public Exception
{
public:
    using Exception::Exception;
};

struct TToolStreams
{
    QTextStream& Out;
    QTextStream& Err;
};

struct TToolCommand
{
    const char* Name;
    const char* Usage; // the lines after "ovtool "
    int (*Run)(const QStringList& Args, TToolStreams& Io);
};

int RunIniCommand(const QStringList& Args, TToolStreams& Io);
int RunInfoCommand(const QStringList& Args, TToolStreams& Io);
int RunEncryptCommand(const QStringList& Args, TToolStreams& Io);
int RunDecryptCommand(const QStringList& Args, TToolStreams& Io);
int RunWatchCommand(const QStringList& Args, TToolStreams& Io);
int RunCopyCommand(const QStringList& Args, TToolStreams& Io);
int RunVerifyCommand(const QStringList& Args, TToolStreams& Io);
// The password in a file: its content up to the first line break. Raises Exception.
QByteArray ReadPasswordFile(const QString& Name);
int RunFilterCommand(const QStringList& Args, TToolStreams& Io);
int RunCheckTaskCommand(const QStringList& Args, TToolStreams& Io);
int RunTaskCommand(const QStringList& Args, TToolStreams& Io);
int RunExpandCommand(const QStringList& Args, TToolStreams& Io);
int RunVolumeCommand(const QStringList& Args, TToolStreams& Io);
int RunBackupCommand(const QStringList& Args, TToolStreams& Io);
