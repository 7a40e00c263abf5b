#pragma once
// Texts of the shared code come from the text domain "units"; each program's own texts from its
// default domain. Both take the English text as it stands (the msgid).

#include "platform/MessageCatalog.h"

inline constexpr char UnitsTextDomain[] = "units";

// A text of the shared code, translated.
inline QString Tr(const char* MsgId)
{
    return Platform::TranslateText(UnitsTextDomain, MsgId);
}

// Marks a text for translation where it is only stored; Tr looks it up later.
constexpr const char* N_(const char* MsgId)
{
    return MsgId;
}
