#pragma once
// A Perl-compatible regular expression (PCRE2, 16-bit code units, so a QString is searched as it
// stands) with bounded matching: every search runs under match, depth and heap limits, so a pattern
// that backtracks without end is stopped and reported instead of hanging the caller.

#include <QString>
#include <QStringView>

#include <memory>

class TRegExpr
{
public:
    enum class TResult
    {
        Match,
        NoMatch,
        Error, // the search was stopped (a limit) or failed; ErrorText() says why
    };

    // The bounds of one search. The defaults keep the worst search at a few tens of milliseconds.
    struct TLimits
    {
        unsigned MatchLimit = 2'000'000;   // backtracking steps
        unsigned DepthLimit = 10'000;      // nested backtracking points
        unsigned HeapLimitKiB = 20 * 1024; // memory for backtracking
        unsigned MaxPatternLength = 32 * 1024;
    };

    TRegExpr();
    explicit TRegExpr(const TLimits& Limits);
    ~TRegExpr();
    TRegExpr(const TRegExpr&) = delete;
    TRegExpr& operator=(const TRegExpr&) = delete;

    // Compiles Pattern; on failure the previous pattern is dropped (nothing matches), ErrorText()
    // holds PCRE2's message with the offset, and the result is false.
    bool Compile(const QString& Pattern, bool Caseless);
    bool IsCompiled() const;
    const QString& Pattern() const { return FPattern; }
    bool Caseless() const { return FCaseless; }

    // Unanchored search for the pattern in Subject.
    TResult Find(QStringView Subject) const;
    // The text of the last failure of Compile or Find.
    const QString& ErrorText() const { return FErrorText; }

private:
    struct TData;
    std::unique_ptr<TData> D;
    QString FPattern;
    bool FCaseless = false;
    mutable QString FErrorText;
};
