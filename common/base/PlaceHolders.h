#pragma once
// Placeholders in paths and names (unit PlaceHolders): words between percent signs, found and
// replaced without regard to case, that stand for the date and time, user and computer names, the
// user's folders, environment variables, the destination's drive and volume, and rotating counters.
// Placeholders an operation does not handle stay as they are.
//
// Every operation takes a TPlaceholderEnv: the clock, the locale of day and month names, the user and
// computer names and the volumes. Current() describes the running program; tests give their own.

#include "platform/Volumes.h"

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>

struct TPlaceholderEnv
{
    QDateTime Now; // local time
    QLocale Locale;
    QString UserName;
    QString ComputerName;
    Platform::TVolumes* Volumes = nullptr; // nullptr: Platform::Volumes()

    static TPlaceholderEnv Current();
};

// The date set, then (only when Counter > 0) the rotating counters %d#n%, %w#n%, %m#n%, %v#n%, then
// the time set.
QString ReplaceDatePlaceholders(const QString& Text, int Counter,
                                const TPlaceholderEnv& Env = TPlaceholderEnv::Current());
// The user's and the system's folders (without trailing delimiter), user and computer names.
QString ReplacePathPlaceholders(const QString& Text, const TPlaceholderEnv& Env = TPlaceholderEnv::Current());
// "%volume%" := Volume, then the environment placeholders %evar(NAME)%, then the date placeholders.
QString ReplaceDestPlaceholders(const QString& Text, const QString& Volume, int Counter,
                                const TPlaceholderEnv& Env = TPlaceholderEnv::Current());
// The log-name set, with Dest as the destination (%dest%, %drive%, %volume%).
QString ReplaceLogPlaceholders(const QString& Text, const QString& Dest,
                               const TPlaceholderEnv& Env = TPlaceholderEnv::Current());
// Only the environment placeholders %evar(NAME)%: replaced by the variable's value when it is not
// empty.
QString ReplaceEnvironmentPlaceholders(const QString& Text);
