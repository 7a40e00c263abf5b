#include "MessageCatalog.h"

#include "KnownFolders.h"

#include <QFile>

#include <clocale>
#include <cstdlib>
#include <libintl.h>
#include <string_view>

// glibc counts catalogue changes here; raising it makes gettext look texts up anew.
extern "C" int _nl_msg_cat_cntr;

namespace Platform {

QString UserLanguageCode()
{
    QString locale;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        locale = EnvironmentVariable(QString::fromLatin1(name));
        if (!locale.isEmpty()) break;
    }
    if (locale.isEmpty() || locale == QLatin1String("C") || locale.startsWith(QLatin1String("C.")) ||
        locale == QLatin1String("POSIX"))
        return QStringLiteral("en");
    // language[_territory][.codeset][@modifier]
    qsizetype end = 0;
    while (end < locale.size() && locale.at(end).isLetter())
        ++end;
    return locale.left(end).toLower();
}

void BindTextDomain(const QString& Domain, const QString& Folder)
{
    const QByteArray domain = Domain.toUtf8();
    bindtextdomain(domain.constData(), QFile::encodeName(Folder).constData());
    bind_textdomain_codeset(domain.constData(), "UTF-8");
}

void SetDefaultTextDomain(const QString& Domain)
{
    textdomain(Domain.toUtf8().constData());
}

void SetMessageLanguage(const QString& Code)
{
    // gettext ignores LANGUAGE in the "C" locale; C.UTF-8 is built into the C library.
    const char* active = std::setlocale(LC_ALL, "");
    if (!active || std::string_view(active) == "C" || std::string_view(active) == "POSIX")
        std::setlocale(LC_ALL, "C.UTF-8");
    // Numbers are read and written the same way whatever the language.
    std::setlocale(LC_NUMERIC, "C");
    ::setenv("LANGUAGE", Code.toUtf8().constData(), 1);
    // Makes gettext drop the translations it looked up so far.
    ++_nl_msg_cat_cntr;
}

QString TranslateText(const char* Domain, const char* MsgId)
{
    return QString::fromUtf8(dgettext(Domain, MsgId));
}

} // namespace Platform
