#pragma once
// Translated texts: message catalogues of GNU gettext, one text domain per program and one for
// the shared code, and the user's language from the locale.

#include <QString>

namespace Platform {

// The two-letter code of the user's language from the locale (LC_ALL, LC_MESSAGES, LANG);
// "en" for the "C" and "POSIX" locales and when none is set.
QString UserLanguageCode();
// Tells where the catalogues of Domain are: Folder/<language>/LC_MESSAGES/<Domain>.mo.
void BindTextDomain(const QString& Domain, const QString& Folder);
// The domain of texts looked up without one.
void SetDefaultTextDomain(const QString& Domain);
// Switches every text domain to the language with the two-letter Code.
void SetMessageLanguage(const QString& Code);
// The translation of MsgId (UTF-8) in Domain, or MsgId itself.
QString TranslateText(const char* Domain, const char* MsgId);

} // namespace Platform
