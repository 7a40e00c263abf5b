#pragma once
// The text filter of the suite (unit TextFilter): whether a file name or a single directory name
// passes a user's selection, given as a list of wildcard masks or as one regular expression.
//
// Masks: "*" any run of characters, "?" one character, "[a-z_]" one of a set, "[!0-9]" one not in a
// set; letters match without regard to case. A list is separated by Separator ("|"); a leading "+"
// asks every mask to match (else one suffices); a mask beginning with "!" matches what the rest does
// not. Matching a mask takes time proportional to the name's length times the mask's at worst, so a
// hostile mask ("*a*a*a*...*b") cannot stall a caller. A regular expression is searched with PCRE2
// under match limits; one that runs away counts as no match.

#include "Errors.h"
#include "RegExpr.h"

#include <QChar>
#include <QString>

#include <memory>

enum TFilterMode
{
    fmOff = 0,     // everything passes
    fmInclude = 1, // names that match pass
    fmExclude = 2, // names that match are rejected
};

class EFilterError : public Exception
{
public:
    using Exception::Exception;
};

class TTextFilter
{
public:
    // A file filter appends ".*" to masks without extension and lets "name." masks select names
    // without extension. IgnoreCase applies to regular expressions; masks always ignore case.
    TTextFilter(bool AIsFileFilter, bool AIgnoreCase);
    ~TTextFilter();
    TTextFilter(const TTextFilter&) = delete;
    TTextFilter& operator=(const TTextFilter&) = delete;

    // Regular := false, Mode := fmOff, mask list := "*" (and the regular expression := ".").
    void Reset();
    // Copies Regular, Mode, the mask list, the regular expression and Separator.
    void Assign(const TTextFilter& AFilter);

    // The regular expression when Regular is set, else the mask list.
    QString Filter() const;
    // Interpreted according to Regular (set that first). A malformed value leaves the match-all
    // pattern ("." or "*") and raises EFilterError "Illegal regular expression!" or "Illegal mask!".
    void SetFilter(const QString& Value);

    TFilterMode Mode() const { return FMode; }
    void SetMode(TFilterMode Value) { FMode = Value; }
    bool Regular() const { return FRegExp; }
    void SetRegular(bool Value) { FRegExp = Value; }
    QChar Separator() const { return FSep; }
    void SetSeparator(QChar Value);
    // "." for a regular expression, else "*".
    QString MatchAll() const;
    bool IsFileFilter() const { return FIsFileFilter; }
    bool IgnoreCase() const { return FIgnoreCase; }

    // Whether AText passes; never raises (a malformed mask or a stopped search does not match).
    bool MatchesFilter(const QString& AText) const;

private:
    struct TMaskList;
    void SetRegularExpression(const QString& Value);
    void SetMaskList(const QString& Value);
    const TMaskList& Masks() const;
    bool MatchesMasks(const QString& AText) const;

    bool FRegExp = false;
    bool FIsFileFilter;
    TFilterMode FMode = fmOff;
    QString FMask;
    QChar FSep = QLatin1Char('|');
    bool FIgnoreCase;
    TRegExpr FRegex;
    mutable std::unique_ptr<TMaskList> FCompiled; // FMask split at FSep and parsed; built on use
};

// Whether Text matches one wildcard mask (the syntax above, case ignored). Malformed masks (an
// unclosed or empty set, a range without its ends) give false and set Malformed when given.
bool MatchesMask(const QString& Text, const QString& Mask, bool* Malformed = nullptr);
