#include "PlaceHolders.h"

#include "DriveUtils.h"
#include "InitProg.h"
#include "PathUtils.h"

#include "platform/KnownFolders.h"
#include "platform/ProcessInfo.h"
#include "platform/UserInfo.h"

#include <functional>
#include <initializer_list>

namespace {

struct TPlaceholder
{
    const char* Name;
    std::function<QString()> Value;
};

// Replaces the placeholders in table order: each one found is computed once and replaced everywhere;
// the next one is searched in the result.
QString ReplaceSet(QString Text, std::initializer_list<TPlaceholder> Set)
{
    for (const TPlaceholder& p : Set) {
        const QString name = QString::fromLatin1(p.Name);
        if (Text.contains(name, Qt::CaseInsensitive)) Text.replace(name, p.Value(), Qt::CaseInsensitive);
    }
    return Text;
}

QString Digits(qint64 Value, int Width)
{
    return QStringLiteral("%1").arg(Value, Width, 10, QLatin1Char('0'));
}

QString WithoutDots(QString Text)
{
    return Text.remove(QLatin1Char('.'));
}

QString Folder(const QString& Path)
{
    return Path.isEmpty() ? Path : ExcludeTrailingPathDelimiter(Path);
}

// Year and ISO 8601 week. The year is the week's own year, so 2010-01-02 (week 53 of 2009) gives
// 2009-53 and 2024-12-30 (week 1 of 2025) gives 2025-01.
QString YearAndWeek(const QDate& Date)
{
    int year = 0;
    const int week = Date.weekNumber(&year);
    return Digits(year, 4) + QLatin1Char('-') + Digits(week, 2);
}

// The row of the day in a month calendar whose weeks begin on Monday (1 .. 6).
int WeekOfMonth(const QDate& Date)
{
    const int firstDay = QDate(Date.year(), Date.month(), 1).dayOfWeek(); // Monday = 1
    return (Date.day() - 1 + firstDay - 1) / 7 + 1;
}

bool IsWholeNumber(const QString& Text)
{
    if (Text.isEmpty() || Text.size() > 9) return false;
    for (QChar c : Text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    return true;
}

QString ReplaceCounters(QString Text, const QDate& Date, int Counter)
{
    const struct
    {
        char Letter;
        int Value;
    } counters[] = {{'d', Date.dayOfYear()}, {'w', Date.weekNumber()}, {'m', Date.month()}, {'v', Counter}};
    for (const auto& c : counters) {
        const QString start = QStringLiteral("%") + QLatin1Char(c.Letter) + QLatin1Char('#');
        const qsizetype r = Text.indexOf(start, 0, Qt::CaseInsensitive);
        if (r < 0) continue;
        const qsizetype b = Text.indexOf(QLatin1Char('%'), r + 1);
        if (b < 0) continue; // no closing sign: nothing is replaced
        QString value;
        const QString n = b > r + 3 ? Text.mid(r + 3, b - r - 3) : QString();
        if (IsWholeNumber(n) && n.toInt() > 0) {
            const int count = n.toInt();
            const int width = count >= 100 ? 3 : count < 10 ? 1 : 2;
            value = Digits((qint64(c.Value) - 1) % count + 1, width);
        }
        Text.replace(Text.mid(r, b - r + 1), value, Qt::CaseInsensitive);
    }
    return Text;
}

Platform::TVolumes& VolumesOf(const TPlaceholderEnv& Env)
{
    return Env.Volumes ? *Env.Volumes : Platform::Volumes();
}

QString CommonAppData()
{
    const QString all = Platform::EnvironmentVariable(QStringLiteral("ALLUSERSPROFILE"));
    return Folder(all.isEmpty() ? Platform::KnownFolderPath(Platform::TKnownFolder::CommonAppData) : all);
}

} // namespace

TPlaceholderEnv TPlaceholderEnv::Current()
{
    return {QDateTime::currentDateTime(), QLocale::system(), Platform::UserName(), Platform::ComputerName(),
            nullptr};
}

QString ReplaceDatePlaceholders(const QString& Text, int Counter, const TPlaceholderEnv& Env)
{
    if (!Text.contains(QLatin1Char('%'))) return Text;
    const QDate d = Env.Now.date();
    const QTime t = Env.Now.time();
    QString s = ReplaceSet(
        Text,
        {
            {"%date%",
             [&] {
                 return Digits(d.year(), 4) + QLatin1Char('-') + Digits(d.month(), 2) + QLatin1Char('-') +
                        Digits(d.day(), 2);
             }},
            {"%yaw%", [&] { return YearAndWeek(d); }},
            {"%dow%",
             [&] { return WithoutDots(Env.Locale.standaloneDayName(d.dayOfWeek(), QLocale::ShortFormat)); }},
            {"%ldow%",
             [&] { return WithoutDots(Env.Locale.standaloneDayName(d.dayOfWeek(), QLocale::LongFormat)); }},
            {"%dnw%", [&] { return Digits(d.dayOfWeek(), 1); }},
            {"%day%", [&] { return Digits(d.dayOfYear(), 3); }},
            {"%week%", [&] { return Digits(d.weekNumber(), 2); }},
            {"%dom%", [&] { return Digits(d.day(), 2); }},
            {"%wom%", [&] { return Digits(WeekOfMonth(d), 1); }},
            {"%month%", [&] { return Digits(d.month(), 2); }},
            {"%lmonth%",
             [&] { return WithoutDots(Env.Locale.standaloneMonthName(d.month(), QLocale::LongFormat)); }},
            {"%year%", [&] { return Digits(d.year(), 4); }},
            {"%user%", [&] { return Env.UserName; }},
            {"%computer%", [&] { return Env.ComputerName; }},
        });
    if (Counter > 0) s = ReplaceCounters(s, d, Counter);
    return ReplaceSet(
        s,
        {
            {"%time%", [&] { return Digits(t.hour(), 2) + Digits(t.minute(), 2) + Digits(t.second(), 2); }},
            {"%hour%", [&] { return Digits(t.hour(), 2); }},
            {"%minute%", [&] { return Digits(t.minute(), 2); }},
            {"%d#?%", [] { return QString(); }},
            {"%w#?%", [] { return QString(); }},
            {"%m#?%", [] { return QString(); }},
            {"%v#?%", [] { return QString(); }},
            {"%username%", [&] { return Env.UserName; }},
            {"%computername%", [&] { return Env.ComputerName; }},
            {"%volume%", [] { return QString(); }},
            {"%mode%", [] { return QString(); }},
        });
}

QString ReplacePathPlaceholders(const QString& Text, const TPlaceholderEnv& Env)
{
    using Platform::KnownFolderPath;
    using Platform::TKnownFolder;
    if (Text.isEmpty() || !Text.contains(QLatin1Char('%'))) return Text;
    const QString s = ReplaceSet(
        Text, {
                  {"%perspath%", [] { return Folder(KnownFolderPath(TKnownFolder::Documents)); }},
                  {"%apppath%", [] { return Folder(KnownFolderPath(TKnownFolder::RoamingAppData)); }},
                  {"%profile%", [] { return Folder(KnownFolderPath(TKnownFolder::Profile)); }},
                  {"%desktop%", [] { return Folder(KnownFolderPath(TKnownFolder::Desktop)); }},
                  {"%favorites%", [] { return Folder(KnownFolderPath(TKnownFolder::Favorites)); }},
                  {"%progfiles%", [] { return Folder(GetProgramFolder(TProgramFolder::pfProgramFiles)); }},
                  {"%progpath%", [] { return Folder(Platform::ExecutableFolder()); }},
                  {"%username%", [&] { return Env.UserName; }},
                  {"%user%", [&] { return Env.UserName; }},
                  {"%computername%", [&] { return Env.ComputerName; }},
                  {"%computer%", [&] { return Env.ComputerName; }},
              });
    return ReplaceSet(
        s, {
               {"%appdata%", [] { return Folder(KnownFolderPath(TKnownFolder::RoamingAppData)); }},
               {"%localappdata%", [] { return Folder(KnownFolderPath(TKnownFolder::LocalAppData)); }},
               {"%allusersprofile%", [] { return CommonAppData(); }},
               {"%public%",
                [] {
                    const QString p = Platform::EnvironmentVariable(QStringLiteral("PUBLIC"));
                    return Folder(p.isEmpty() ? KnownFolderPath(TKnownFolder::Public) : p);
                }},
               {"%programfiles%", [] { return Folder(GetProgramFolder(TProgramFolder::pfProgramFiles64)); }},
               {"%commonprogramfiles%",
                [] { return Folder(GetProgramFolder(TProgramFolder::pfCommonFiles64)); }},
               {"%programfiles(x86)%",
                [] { return Folder(GetProgramFolder(TProgramFolder::pfProgramFilesX86)); }},
               {"%commonprogramfiles(x86)%",
                [] { return Folder(GetProgramFolder(TProgramFolder::pfCommonFilesX86)); }},
               {"%programdata%", [] { return CommonAppData(); }},
               {"%userprofile%", [] { return Folder(KnownFolderPath(TKnownFolder::Profile)); }},
           });
}

QString ReplaceEnvironmentPlaceholders(const QString& Text)
{
    // Tokens run from one "%" to the next, both included; scanning goes on after each token.
    QStringList tokens;
    qsizetype i = 0;
    for (;;) {
        const qsizetype open = Text.indexOf(QLatin1Char('%'), i);
        if (open < 0) break;
        const qsizetype close = Text.indexOf(QLatin1Char('%'), open + 1);
        if (close < 0) break;
        const QString token = Text.mid(open, close - open + 1);
        if (token.startsWith(QLatin1String("%evar"), Qt::CaseInsensitive) && !tokens.contains(token))
            tokens.append(token);
        i = close + 1;
    }
    QString out = Text;
    for (const QString& token : tokens) {
        const qsizetype lp = token.indexOf(QLatin1Char('('));
        const qsizetype rp = lp < 0 ? -1 : token.indexOf(QLatin1Char(')'), lp + 1);
        if (rp < 0) continue;
        const QString name = token.mid(lp + 1, rp - lp - 1);
        const QString value = name.isEmpty() ? QString() : Platform::EnvironmentVariable(name);
        if (!value.isEmpty()) out.replace(token, value);
    }
    return out;
}

QString ReplaceDestPlaceholders(const QString& Text, const QString& Volume, int Counter,
                                const TPlaceholderEnv& Env)
{
    QString s = Text;
    s.replace(QLatin1String("%volume%"), Volume, Qt::CaseInsensitive);
    return ReplaceDatePlaceholders(ReplaceEnvironmentPlaceholders(s), Counter, Env);
}

QString ReplaceLogPlaceholders(const QString& Text, const QString& Dest, const TPlaceholderEnv& Env)
{
    if (!Text.contains(QLatin1Char('%'))) return Text;
    const QDate d = Env.Now.date();
    const QTime t = Env.Now.time();
    return ReplaceSet(
        Text,
        {
            {"%date%",
             [&] {
                 return Digits(d.year(), 4) + QLatin1Char('-') + Digits(d.month(), 2) + QLatin1Char('-') +
                        Digits(d.day(), 2);
             }},
            {"%time%", [&] { return Digits(t.hour(), 2) + Digits(t.minute(), 2) + Digits(t.second(), 2); }},
            {"%yaw%", [&] { return YearAndWeek(d); }},
            {"%yam%", [&] { return Digits(d.year(), 4) + QLatin1Char('-') + Digits(d.month(), 2); }},
            {"%year%", [&] { return Digits(d.year(), 4); }},
            {"%username%", [&] { return Env.UserName; }},
            {"%computername%", [&] { return Env.ComputerName; }},
            {"%dest%", [&] { return Dest; }},
            {"%drive%", [&] { return DestinationDrive(Dest, VolumesOf(Env)); }},
            {"%volume%", [&] { return DestinationVolumeLabel(Dest, VolumesOf(Env)); }},
        });
}
