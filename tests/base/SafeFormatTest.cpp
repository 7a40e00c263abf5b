#include "base/SafeFormat.h"

#include <gtest/gtest.h>

namespace {

struct TCase
{
    const char* Format;
    std::initializer_list<TFormatArg> Args;
    const char* Expected;
};

TEST(SafeFormat, FormatsTheDelphiSpecifiers)
{
    const TCase cases[] = {
        {"%s", {"abc"}, "abc"},
        {"\"%s\" (%s)", {"a.ini", "Disk full"}, "\"a.ini\" (Disk full)"},
        {"%d items", {42}, "42 items"},
        {"%d", {-7}, "-7"},
        {"%d", {-9223372036854775807LL - 1}, "-9223372036854775808"},
        {"%5d|%-5d|", {42, 42}, "   42|42   |"},
        {"%.3d", {7}, "007"},
        {"%.3d", {-7}, "-007"},
        {"%x", {255}, "FF"},
        {" (0x%.8x)", {5}, " (0x00000005)"},
        {"%x", {-1}, "FFFFFFFF"},
        {"%x", {-1LL}, "FFFFFFFFFFFFFFFF"},
        {"%u", {-1}, "4294967295"},
        {"%u", {18446744073709551615ULL}, "18446744073709551615"},
        {"%0:s-%0:s", {"a"}, "a-a"},
        {"%1:s %0:s %s", {"a", "b"}, "b a b"},
        {"100%%", {}, "100%"},
        {"%*d", {4, 9}, "   9"},
        {"%.3s", {"abcdef"}, "abc"},
        {"%.2f", {3.14159}, "3.14"},
        {"%n", {1234567.0}, "1,234,567.00"},
        {"%s", {"unused", "args are fine"}, "unused"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(SafeFormat(QString::fromUtf8(c.Format), c.Args), QString::fromUtf8(c.Expected)) << c.Format;
}

TEST(SafeFormat, ArgumentsThatDoNotFitGiveFormatError)
{
    const TCase cases[] = {
        {"%s", {42}, nullptr},         // a number for a text
        {"%d", {"x"}, nullptr},        // a text for a number
        {"%s %s", {"one"}, nullptr},   // too few
        {"%q", {1}, nullptr},          // no such type
        {"50%", {}, nullptr},          // cut short
        {"%2:s", {"a", "b"}, nullptr}, // index beyond the list
        {"%99999999d", {1}, nullptr},  // absurd width
    };
    for (const TCase& c : cases)
        EXPECT_EQ(SafeFormat(QString::fromUtf8(c.Format), c.Args),
                  QStringLiteral("Format error: ") + QString::fromUtf8(c.Format))
            << c.Format;
}

} // namespace
