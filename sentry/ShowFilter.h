#pragma once
// The string list of OvSentry's file, extension and sub-directory lists: kept sorted and free of
// duplicates, both without regard to case. A look-up finds only an equal string (no wildcards).

#include <QString>
#include <QStringList>

class TMatchList
{
public:
    TMatchList() = default;
    explicit TMatchList(const QStringList& Strings);

    // Adds S at its sorted place and returns its index; a string already present (in any case)
    // is not added again, its index is returned.
    qsizetype Add(const QString& S);
    void AddStrings(const QStringList& Strings);
    // The index of the string equal to S without regard to case, or -1.
    qsizetype IndexOf(const QString& S) const;
    bool Contains(const QString& S) const { return IndexOf(S) >= 0; }
    // Removes the string equal to S; false when there is none.
    bool Remove(const QString& S);
    void Delete(qsizetype Index) { FItems.removeAt(Index); }
    void Clear() { FItems.clear(); }

    qsizetype Count() const { return FItems.size(); }
    bool IsEmpty() const { return FItems.isEmpty(); }
    const QString& operator[](qsizetype Index) const { return FItems.at(Index); }
    const QStringList& Strings() const { return FItems; }
    QStringList::const_iterator begin() const { return FItems.cbegin(); }
    QStringList::const_iterator end() const { return FItems.cend(); }

    // The strings separated by commas, and the reverse: entries are trimmed, empty ones skipped.
    QString CommaText() const { return FItems.join(QLatin1Char(',')); }
    void SetCommaText(const QString& Text);

private:
    // The first index whose string is not less than S (without regard to case).
    qsizetype LowerBound(const QString& S) const;

    QStringList FItems;
};
