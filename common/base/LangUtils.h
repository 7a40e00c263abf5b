#pragma once
// The user interface language and the suite configuration file ("Orvanta.cfg"): chosen once at start
// from the command line, the configuration file and the locale; then every translated text follows it.

#include "InitProg.h"

#include <QString>
#include <QStringList>

// The language selection of one program start.
class TLanguageSelection
{
public:
    explicit TLanguageSelection(const TProgramEnvironment& Env = TProgramEnvironment::Current());

    // The configuration file is CfgName (ProgramName + ".cfg" when empty) in Path (a relative Path is
    // taken below the roaming folder); then the options "lang", "ini" and "portable" of Args (the
    // program's arguments without the program itself) may move it and choose the language. Without
    // "lang" the language is LangID of section "Language" of the configuration file, else the
    // user's language from the locale.
    void Select(const QString& Path, const QString& CfgName, const QStringList& Args);

    // Two lower-case letters.
    const QString& LanguageCode() const { return FLanguageCode; }
    const QString& ConfigFileName() const { return FConfigFileName; }
    bool Portable() const { return FPortable; }

private:
    void MoveConfigFile(const QString& P);

    TProgramEnvironment FEnv;
    QString FLanguageCode;
    QString FConfigFileName;
    bool FPortable = false;
};

// Code when it is the language of one of the Windows suite's primary languages, else "en".
QString KnownLanguageOrEnglish(const QString& Code);

// The first folder, laid out as <folder>/<language>/LC_MESSAGES/<Domain>.mo, that holds the catalogue
// of Domain for Language, else the first that holds one of Domain at all, else the install folder.
// Looked in: next to the executable (<exe folder>/../share/locale), the build tree, the install prefix.
QString FindCatalogueFolder(const QString& Domain, const QString& Language);

// Selects the language of the running program and switches the translated texts to it: the program's
// own text domain (its name in lower case) becomes the default domain, and it and each of Domains
// are registered. Args are the program's arguments without the program itself. Called once at
// start; a later call selects anew.
void InitTranslation(const QString& Path, const QString& CfgName, const QStringList& Domains,
                     const QStringList& Args);
// The same with the arguments of the running application.
void InitTranslation(const QString& Path, const QString& CfgName, const QStringList& Domains);

// What InitTranslation selected (empty before it ran).
QString GetLanguageCode();
QString GetConfigFileName();
