#pragma once
// The suite's command-line options: an option is matched against a fixed, ordered table of option
// words, which the typed word may shorten to any leading part (the first entry that fits wins);
// a value follows after the first ":". Also the quoting of the command lines the programs write
// and its inverse.

#include "platform/CommandLine.h"

#include <QString>
#include <QStringList>

#include <span>

enum class TOptionKind
{
    okFlag,  // "-force": the whole typed word must fit the name
    okValue, // "-end:shutdown": only the part before the first ":" is matched; the ":" is required
};

struct TOptionDef
{
    const char* Name; // lower case, Latin-1
    TOptionKind Kind;
};

struct TOptionMatch
{
    bool IsOption = false; // the argument carries the host's option prefix
    int Index = -1;        // the entry of the table that fits; -1 when none does
    QString Value;         // for a valued option: everything after the first ":"

    bool Matched() const { return Index >= 0; }
};

// Whether Typed is a leading part of Name, without regard to case. The empty word is a leading part of
// every name.
bool IsOptionAbbreviation(const QString& Typed, const QString& Name);

// Matches one argument against Options, tried in their order.
TOptionMatch MatchOption(const QString& Arg, std::span<const TOptionDef> Options);

// The index of the first of Words that Typed is a leading part of (without regard to case), or -1.
int MatchWord(const QString& Typed, std::span<const char* const> Words);

// Prefix + Name, and Prefix + Name + ":" + Value. The default prefix is the host's; the command line
// of the main backup program takes "/".
QString FlagArgument(const QString& Name, const QString& Prefix = Platform::OptionPrefix());
QString ValueArgument(const QString& Name, const QString& Value,
                      const QString& Prefix = Platform::OptionPrefix());

// One argument as it is written into a command line: in double quotes as a whole, with double quotes
// inside doubled, when it contains a blank, a tab or a double quote, or is empty; else as it is.
QString QuoteArgument(const QString& Arg);
// The arguments quoted as needed and separated by one blank.
QString JoinCommandLine(const QStringList& Args);
// The inverse: splits at blanks and tabs outside double quotes; a doubled double quote inside quotes
// stands for one double quote, and quotes may open and close anywhere in an argument.
QStringList SplitCommandLine(const QString& Line);
