// ovtool expand and ovtool volume: the placeholder sets and the volume-label form.

#include "ToolCommand.h"

#include "base/DriveUtils.h"
#include "base/PlaceHolders.h"
#include "base/SafeFormat.h"

int RunExpandCommand(const QStringList& Args, TToolStreams& Io)
{
    TPlaceholderEnv env = TPlaceholderEnv::Current();
    int counter = 0;
    QString volume, dest;
    QString set = QStringLiteral("dest");
    QStringList rest;
    for (qsizetype i = 0; i < Args.size(); ++i) {
        const QString& a = Args[i];
        auto value = [&]() -> QString {
            if (i + 1 >= Args.size()) throw EUsageError(SafeFormat(QStringLiteral("%s takes a value"), {a}));
            return Args[++i];
        };
        if (a == QLatin1String("--counter")) {
            bool ok = false;
            counter = value().toInt(&ok);
            if (!ok) throw EUsageError(QStringLiteral("--counter takes a whole number"));
        } else if (a == QLatin1String("--now")) {
            const QString at = value();
            env.Now = QDateTime::fromString(at, Qt::ISODate);
            if (!env.Now.isValid())
                throw EUsageError(
                    SafeFormat(QStringLiteral("\"%s\" is no date and time (YYYY-MM-DDTHH:MM:SS)"), {at}));
        } else if (a == QLatin1String("--volume")) {
            volume = value();
        } else if (a == QLatin1String("--dest")) {
            dest = value();
        } else if (a == QLatin1String("--set")) {
            set = value();
        } else if (a.startsWith(QLatin1String("--")) && a.size() > 2) {
            throw EUsageError(SafeFormat(QStringLiteral("unknown option \"%s\""), {a}));
        } else {
            rest.append(a);
        }
    }
    if (rest.size() != 1) throw EUsageError(QStringLiteral("one text is needed"));
    const QString& text = rest[0];
    QString out;
    if (set == QLatin1String("date"))
        out = ReplaceDatePlaceholders(text, counter, env);
    else if (set == QLatin1String("path"))
        out = ReplacePathPlaceholders(text, env);
    else if (set == QLatin1String("dest"))
        out = ReplaceDestPlaceholders(text, volume, counter, env);
    else if (set == QLatin1String("log"))
        out = ReplaceLogPlaceholders(text, dest, env);
    else
        throw EUsageError(SafeFormat(QStringLiteral("--set is date, path, dest or log, not \"%s\""), {set}));
    Io.Out << out << '\n';
    return ExitOk;
}

int RunVolumeCommand(const QStringList& Args, TToolStreams& Io)
{
    if (Args.size() != 1) throw EUsageError(QStringLiteral("one path is needed"));
    const QString& path = Args[0];
    QString resolved;
    switch (ResolveVolumeLabelPath(path, resolved)) {
    case TVolumeResolve::Resolved:
        Io.Out << resolved << '\n';
        return ExitOk;
    case TVolumeResolve::VolumeMissing: {
        QString label, rest;
        SplitVolumeLabelPath(path, label, rest);
        Io.Err << SafeFormat(QStringLiteral("ovtool volume: no volume labelled \"%s\" is mounted"), {label})
               << '\n';
        return ExitFailure;
    }
    case TVolumeResolve::NotLabelForm:
        break;
    }
    Platform::TVolumeInfo info;
    if (!Platform::Volumes().VolumeOfPath(path, info)) {
        Io.Err << SafeFormat(QStringLiteral("ovtool volume: no mounted volume holds \"%s\""), {path}) << '\n';
        return ExitFailure;
    }
    Io.Out << info.MountPoint << '\t' << info.Label << '\n';
    return ExitOk;
}
