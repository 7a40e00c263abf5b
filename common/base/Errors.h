#pragma once
// The exception classes every other failure class of the suite derives from.

#include <QByteArray>
#include <QString>

#include <exception>

class Exception : public std::exception
{
public:
    explicit Exception(const QString& Message) : FMessage(Message), FWhat(Message.toUtf8()) {}
    const QString& Message() const { return FMessage; }
    const char* what() const noexcept override { return FWhat.constData(); }

private:
    QString FMessage;
    QByteArray FWhat;
};

// A failed file operation with the system error code.
class EInOutError : public Exception
{
public:
    EInOutError(const QString& Message, int ErrorCode) : Exception(Message), FErrorCode(ErrorCode) {}
    int ErrorCode() const { return FErrorCode; }

private:
    int FErrorCode;
};

// A file could not be written completely.
class EWriteError : public Exception
{
public:
    using Exception::Exception;
};
