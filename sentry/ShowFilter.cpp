#include "ShowFilter.h"

#include <algorithm>

namespace {

int CompareText(const QString& A, const QString& B)
{
    return QString::compare(A, B, Qt::CaseInsensitive);
}

} // namespace

TMatchList::TMatchList(const QStringList& Strings)
{
    AddStrings(Strings);
}

qsizetype TMatchList::LowerBound(const QString& S) const
{
    const auto it =
        std::lower_bound(FItems.cbegin(), FItems.cend(), S,
                         [](const QString& A, const QString& B) { return CompareText(A, B) < 0; });
    return it - FItems.cbegin();
}

qsizetype TMatchList::Add(const QString& S)
{
    const qsizetype at = LowerBound(S);
    if (at < FItems.size() && CompareText(FItems.at(at), S) == 0) return at;
    FItems.insert(at, S);
    return at;
}

void TMatchList::AddStrings(const QStringList& Strings)
{
    for (const QString& s : Strings)
        Add(s);
}

qsizetype TMatchList::IndexOf(const QString& S) const
{
    const qsizetype at = LowerBound(S);
    return at < FItems.size() && CompareText(FItems.at(at), S) == 0 ? at : -1;
}

bool TMatchList::Remove(const QString& S)
{
    const qsizetype at = IndexOf(S);
    if (at < 0) return false;
    FItems.removeAt(at);
    return true;
}

void TMatchList::SetCommaText(const QString& Text)
{
    FItems.clear();
    for (const QString& part : Text.split(QLatin1Char(','))) {
        const QString s = part.trimmed();
        if (!s.isEmpty()) Add(s);
    }
}
