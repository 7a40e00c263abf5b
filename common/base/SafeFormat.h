#pragma once
// Delphi-style formatting ("%s", "%d", "%u", "%x", "%.8x", "%0:s", "%-10s", "%*d", "%%") that never
// fails: when the arguments do not fit the format, the result is "Format error: " + the format.

#include <QString>

#include <cstdint>
#include <initializer_list>
#include <variant>

class TFormatArg
{
public:
    TFormatArg(const QString& Text) : FValue(Text) {}
    TFormatArg(const char* Utf8) : FValue(QString::fromUtf8(Utf8)) {}
    TFormatArg(int Value) : FValue(TInt{Value, 32}) {}
    TFormatArg(long Value) : FValue(TInt{Value, 64}) {}
    TFormatArg(long long Value) : FValue(TInt{Value, 64}) {}
    TFormatArg(unsigned Value) : FValue(TInt{static_cast<std::int64_t>(Value), 32}) {}
    TFormatArg(unsigned long Value) : FValue(TUInt{Value}) {}
    TFormatArg(unsigned long long Value) : FValue(TUInt{Value}) {}
    TFormatArg(double Value) : FValue(Value) {}

    struct TInt
    {
        std::int64_t Value;
        int Bits; // the width of the argument, for "%x" of negative numbers
    };
    struct TUInt
    {
        std::uint64_t Value;
    };
    using TValue = std::variant<QString, TInt, TUInt, double>;
    const TValue& Value() const { return FValue; }

private:
    TValue FValue;
};

QString SafeFormat(const QString& Format, std::initializer_list<TFormatArg> Args = {});
