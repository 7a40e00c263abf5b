#include "IniFileUtils.h"

#include <QtGlobal>

#include <exception>

TUnicodeIniFile::TUnicodeIniFile(const QString& FileName, bool ReadOnly, bool Load)
    : TMemIniFile(FileName, Load), FReadOnly(ReadOnly)
{
}

std::unique_ptr<TUnicodeIniFile> TUnicodeIniFile::CreateForRead(const QString& FileName)
{
    return std::unique_ptr<TUnicodeIniFile>(new TUnicodeIniFile(FileName, true, true));
}

std::unique_ptr<TUnicodeIniFile> TUnicodeIniFile::CreateForWrite(const QString& FileName, bool ClearEntries)
{
    // Cleared, nothing of the old content would remain: it need not be read at all.
    std::unique_ptr<TUnicodeIniFile> ini(new TUnicodeIniFile(FileName, false, !ClearEntries));
    ini->SetEncoding(TIniEncoding::Utf16LE);
    // An existing marker is left as it is.
    const QString unicode = QStringLiteral("Unicode");
    const QString encoding = QStringLiteral("Encoding");
    if (ClearEntries || !ini->ValueExists(unicode, encoding))
        ini->WriteString(unicode, encoding, QStringLiteral("UTF-16LE"));
    return ini;
}

TUnicodeIniFile::~TUnicodeIniFile()
{
    if (FReadOnly || (FSaved && FSavedChangeCount == ChangeCount())) return;
    try {
        UpdateFile();
    } catch (const std::exception& E) {
        qWarning("%s", E.what());
    }
}

void TUnicodeIniFile::UpdateFile() const
{
    if (FReadOnly) return;
    TMemIniFile::UpdateFile();
    FSaved = true;
    FSavedChangeCount = ChangeCount();
}

void TUnicodeIniFile::WriteProgramInfo(const QString& Ident, const QString& Value)
{
    WriteString(QStringLiteral("Unicode"), Ident, Value);
}

qint64 TUnicodeIniFile::ReadInt64(const QString& Section, const QString& Ident, qint64 Default) const
{
    qint64 value = 0;
    return IniTextToInt64(ReadString(Section, Ident, QString()), value) ? value : Default;
}

void TUnicodeIniFile::WriteInt64(const QString& Section, const QString& Ident, qint64 Value)
{
    WriteString(Section, Ident, QString::number(Value));
}

bool ReadIniBool(const QString& FileName, const QString& Section, const QString& Ident, bool Default)
{
    return TMemIniFile(FileName).ReadBool(Section, Ident, Default);
}
