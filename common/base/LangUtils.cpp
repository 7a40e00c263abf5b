#include "LangUtils.h"

#include "CmdLineOptions.h"
#include "MemIniFile.h"
#include "PathUtils.h"

#include "platform/FileSystem.h"
#include "platform/MessageCatalog.h"
#include "platform/PathRules.h"
#include "platform/ProcessInfo.h"

#include <QCoreApplication>
#include <QDir>

using namespace Platform;

namespace {

// The two-letter codes of the Windows primary languages, in the order of their identifiers (Arabic
// 0x01 to Central Kurdish 0x92). Where a locale of this host names a language that Windows counts as
// a sublanguage (Norwegian Bokmål and Nynorsk, Serbian and Bosnian), its code stands beside the
// primary one, so that its catalogues are found.
constexpr const char* KnownLanguages[] = {
    "ar", "bg", "ca", "zh", "cs", "da", "de", "el", "en", "es", "fi", "fr", "he", "hu", "is", "it", "ja",
    "ko", "nl", "no", "nb", "nn", "pl", "pt", "rm", "ro", "ru", "hr", "sr", "bs", "sk", "sq", "sv", "th",
    "tr", "ur", "id", "uk", "be", "sl", "et", "lv", "lt", "tg", "fa", "vi", "hy", "az", "eu", "mk", "st",
    "ts", "tn", "ve", "xh", "zu", "af", "ka", "fo", "hi", "mt", "se", "ga", "yi", "ms", "kk", "ky", "sw",
    "tk", "uz", "tt", "bn", "pa", "gu", "or", "ta", "te", "kn", "ml", "as", "mr", "sa", "mn", "bo", "cy",
    "km", "lo", "my", "gl", "sd", "si", "iu", "am", "ks", "ne", "fy", "ps", "dv", "ff", "ha", "yo", "qu",
    "ba", "lb", "kl", "ig", "ti", "ii", "br", "ug", "mi", "oc", "co", "rw", "wo", "gd", "ku",
};

// The options of the shared start-up, in this order.
enum
{
    optLang,
    optIni,
    optPortable,
};
constexpr TOptionDef StartupOptions[] = {
    {"lang", TOptionKind::okValue},
    {"ini", TOptionKind::okValue},
    {"portable", TOptionKind::okFlag},
};

// A language code as given: its first two characters.
QString LanguageOf(const QString& Text)
{
    return Text.left(2).toLower();
}

QString CatalogueFile(const QString& Folder, const QString& Language, const QString& Domain)
{
    return Folder + QLatin1Char('/') + Language + QStringLiteral("/LC_MESSAGES/") + Domain +
           QStringLiteral(".mo");
}

bool HasAnyCatalogue(const QString& Folder, const QString& Domain)
{
    QList<TFindData> entries;
    if (ListDirectory(Folder, entries) != 0) return false;
    for (const TFindData& e : entries)
        if ((e.Attributes & faDirectory) && FileExists(CatalogueFile(Folder, e.Name, Domain))) return true;
    return false;
}

struct TSelectedLanguage
{
    QString LanguageCode;
    QString ConfigFileName;
};

TSelectedLanguage& Selected()
{
    static TSelectedLanguage selected;
    return selected;
}

} // namespace

TLanguageSelection::TLanguageSelection(const TProgramEnvironment& Env) : FEnv(Env) {}

void TLanguageSelection::Select(const QString& Path, const QString& CfgName, const QStringList& Args)
{
    const QString name = CfgName.isEmpty() ? FEnv.ProgramName + QStringLiteral(".cfg") : CfgName;
    // Without a roaming folder, relative paths stay with the program, as AppPath does.
    const QString base = FEnv.RoamingFolder.isEmpty() ? FEnv.ProgramFolder : FEnv.RoamingFolder;
    const QString folder = IsAbsolutePath(Path) ? Path : JoinPath(base, Path);
    FConfigFileName = JoinPath(folder, name);
    FPortable = false;

    bool langGiven = false;
    QString code;
    QString p;
    for (const QString& arg : Args) {
        const TOptionMatch m = MatchOption(arg, StartupOptions);
        switch (m.Index) {
        case optLang:
            langGiven = true;
            code = LanguageOf(m.Value);
            break;
        case optIni:
            p = ExpandEnvironmentVariables(m.Value);
            break;
        case optPortable:
            FPortable = true;
            if (p.isEmpty()) p = FEnv.ProgramFolder;
            break;
        default:
            break;
        }
    }
    if (!p.isEmpty()) MoveConfigFile(p);
    if (!langGiven)
        code = LanguageOf(TMemIniFile(FConfigFileName)
                              .ReadString(QStringLiteral("Language"), QStringLiteral("LangID"), QString()));
    if (code.isEmpty()) code = KnownLanguageOrEnglish(UserLanguageCode());
    FLanguageCode = code;
}

void TLanguageSelection::MoveConfigFile(const QString& P)
{
    const QString currentName = ExtractFileName(FConfigFileName);
    const QString currentFolder = ExtractFilePath(FConfigFileName);
    const bool isFolder = IsPathDelimiter(P.back());
    // A settings file named for a portable start brings its own configuration file beside it.
    const QString name =
        !isFolder && FPortable ? ChangeFileExt(ExtractFileName(P), QStringLiteral(".cfg")) : currentName;
    const QString folderPart = isFolder ? P : ExtractFilePath(P);
    QString folder;
    if (IsAbsolutePath(P))
        folder = folderPart;
    else if (folderPart.isEmpty())
        folder = FPortable ? FEnv.ProgramFolder : currentFolder;
    else
        folder = JoinPath(FPortable ? FEnv.ProgramFolder : FEnv.CurrentFolder, folderPart);
    FConfigFileName = JoinPath(folder, name);
}

QString KnownLanguageOrEnglish(const QString& Code)
{
    for (const char* known : KnownLanguages)
        if (Code == QLatin1String(known)) return Code;
    return QStringLiteral("en");
}

QString FindCatalogueFolder(const QString& Domain, const QString& Language)
{
    const QStringList folders = {
        QDir::cleanPath(ExecutableFolder() + QStringLiteral("../share/locale")),
        QStringLiteral(OV_BUILD_LOCALEDIR),
        QStringLiteral(OV_INSTALL_LOCALEDIR),
    };
    for (const QString& folder : folders)
        if (FileExists(CatalogueFile(folder, Language, Domain))) return folder;
    for (const QString& folder : folders)
        if (HasAnyCatalogue(folder, Domain)) return folder;
    return folders.last();
}

void InitTranslation(const QString& Path, const QString& CfgName, const QStringList& Domains,
                     const QStringList& Args)
{
    TLanguageSelection selection;
    selection.Select(Path, CfgName, Args);
    const QString code = selection.LanguageCode();

    const QString own = ExecutableName().toLower();
    QStringList domains{own};
    for (const QString& d : Domains)
        if (!domains.contains(d)) domains.append(d);
    for (const QString& d : domains)
        BindTextDomain(d, FindCatalogueFolder(d, code));
    SetDefaultTextDomain(own);
    SetMessageLanguage(code);

    Selected() = {code, selection.ConfigFileName()};
}

void InitTranslation(const QString& Path, const QString& CfgName, const QStringList& Domains)
{
    const QStringList args =
        QCoreApplication::instance() ? QCoreApplication::arguments().mid(1) : QStringList();
    InitTranslation(Path, CfgName, Domains, args);
}

QString GetLanguageCode()
{
    return Selected().LanguageCode;
}

QString GetConfigFileName()
{
    return Selected().ConfigFileName;
}
