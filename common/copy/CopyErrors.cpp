#include "CopyErrors.h"

#include "base/SafeFormat.h"
#include "base/Translate.h"

#include "platform/SysErrors.h"

namespace {

// Indexed by the low byte of a code; empty slots are unknown codes.
const char* const Messages[] = {
    nullptr, // 0: the system's text for "no error"
    N_("Could not create file"),
    N_("Could not open file"),
    N_("Could not close file"),
    N_("Could not read from file"),
    N_("Could not write to file"),
    N_("Attributes could not be set"),
    N_("Low disk space"),
    N_("Illegal file header"),
    N_("Corrupt file"),
    N_("Encryption failed"),
    N_("Decryption failed"),
    N_("Verification failed"),
    N_("Path too long"),
    N_("File not found"),
    N_("Timestamp could not be set"),
    N_("Error copying document summary"),
    N_("Timeout error on copying file"),
    N_("Undefined stream"),
    N_("Permissions could not be copied"),
    N_("File already exists"),
    N_("Size mismatch"),
    N_("Could not open destination file for verification"),
    N_("Could not create directory"),
    N_("Could not read from FTP"),
    N_("Could not write to FTP"),
    N_("Could not connect to FTP server"),
    N_("FTP connection was closed by server"),
    N_("Could not open FTP data connection"),
    N_("Timeout error on copying file via FTP"),
    N_("Different content"),
    N_("Error creating new zip segment"),
    N_("Illegal zip signature"),
    N_("Could not extract file"),
    N_("Unsupported file format"),
    N_("Could not rename temporary file"),
    N_("Error reading next zip segment"),
    N_("Error copying alternate data streams"),
    N_("Error deleting file"),
    nullptr, // 39
    N_("Invalid zip format"),
};

QString MessageText(int ErrorCode)
{
    const int low = ErrorCode & 0xFF;
    if (low == 0) return Platform::SysErrorMessage(0);
    if (low == 128) return Tr("Terminated by user");
    if (low < int(std::size(Messages)) && Messages[low]) return Tr(Messages[low]);
    return SafeFormat(Tr("Unknown error code ($%.8x)"), {ErrorCode});
}

QString SeverityText(int ErrorCode)
{
    switch ((ErrorCode >> 8) & 0xF) {
    case 1:
        return Tr("Error - ");
    case 2:
        return Tr("Warning - ");
    case 3:
        return Tr("Error(2) - ");
    default:
        return {};
    }
}

QString OperationText(int ErrorCode)
{
    static const char* const Operations[] = {nullptr,   N_("Copy"),    N_("gzip"),    N_("gunzip"),
                                             N_("Zip"), N_("Encrypt"), N_("Decrypt"), N_("Unzip")};
    const int op = (ErrorCode >> 12) & 0xF;
    return op < int(std::size(Operations)) && Operations[op] ? Tr(Operations[op]) : QString();
}

} // namespace

QString CopyErrorText(int ErrorCode, const QString& FileName, const QString& SysText)
{
    const QString m = SeverityText(ErrorCode) + MessageText(ErrorCode);
    const QString o = OperationText(ErrorCode);
    if (FileName.isEmpty()) return o.isEmpty() ? m : m + SafeFormat(Tr(" (-> %s)"), {o});
    if (!o.isEmpty() && !SysText.isEmpty())
        return m + SafeFormat(Tr(": \"%s\" (%s) (-> %s)"), {FileName, SysText, o});
    if (!o.isEmpty()) return m + SafeFormat(Tr(": \"%s\" (-> %s)"), {FileName, o});
    if (!SysText.isEmpty()) return m + SafeFormat(Tr(": \"%s\" (%s)"), {FileName, SysText});
    return m + SafeFormat(Tr(": \"%s\""), {FileName});
}

QString SysErrorText(int Code)
{
    const QString text = SafeFormat(QStringLiteral("%s (0x%.8x)"), {Platform::SysErrorMessage(Code), Code});
    return SafeFormat(Tr("System error: %s"), {text});
}
