#pragma once
// How options are told from other arguments on this host.

#include <QString>

namespace Platform {

// When Arg is an option, Word := the option text after its prefix and the result is true.
// Here options begin with "-" or "--" ("/" begins absolute paths).
bool SplitOptionPrefix(const QString& Arg, QString& Word);
// The prefix this host's programs write in front of options (shortcuts, autostart entries).
QString OptionPrefix();

} // namespace Platform
