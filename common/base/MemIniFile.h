#pragma once
// The in-memory ini file: the whole file is read into ordered sections of ordered lines when the
// object is created and written back only on request. Section and key names are compared without
// regard to case; the order of sections and lines is kept. One thread at a time, also for reading:
// lookups build their indexes on first use. Strings read from the object share the buffer of the
// file's text, which lives as long as any of them.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <memory>

enum class TIniEncoding
{
    Ansi,    // no byte-order mark: read as UTF-8 when valid, else Windows-1252; written as
             // Windows-1252 unless that would lose or change text, then as UTF-8
    Utf8,    // EF BB BF
    Utf16LE, // FF FE
    Utf16BE, // FE FF
};

class TMemIniFile
{
public:
    // Reads FileName; a missing or unreadable file gives an empty object.
    explicit TMemIniFile(const QString& FileName);
    // Reads the given bytes as if they were the file's content.
    static TMemIniFile FromBytes(const QByteArray& Content, const QString& FileName = QString());
    virtual ~TMemIniFile();
    TMemIniFile(TMemIniFile&&) noexcept;
    TMemIniFile& operator=(TMemIniFile&&) noexcept;

    const QString& FileName() const;
    // The encoding the file was read in, and the one UpdateFile writes.
    TIniEncoding Encoding() const;
    void SetEncoding(TIniEncoding Encoding);

    QString ReadString(const QString& Section, const QString& Ident, const QString& Default) const;
    void WriteString(const QString& Section, const QString& Ident, const QString& Value);
    // Decimal, "$1F" or "0x1F"; anything else gives Default.
    int ReadInteger(const QString& Section, const QString& Ident, int Default) const;
    void WriteInteger(const QString& Section, const QString& Ident, int Value);
    // An integer that is not 0 is true; text that is no integer gives Default.
    bool ReadBool(const QString& Section, const QString& Ident, bool Default) const;
    void WriteBool(const QString& Section, const QString& Ident, bool Value); // "1" or "0"

    QStringList ReadSections() const;
    // The keys of a section, in order.
    QStringList ReadSection(const QString& Section) const;
    // The "key=value" lines of a section, in order.
    QStringList ReadSectionValues(const QString& Section) const;
    bool SectionExists(const QString& Section) const;
    bool ValueExists(const QString& Section, const QString& Ident) const;
    void EraseSection(const QString& Section);
    // Removes the entries of a section but keeps its header in its place.
    void EraseSectionValues(const QString& Section);
    void DeleteKey(const QString& Section, const QString& Ident);
    void Clear();

    // The whole file as text, as UpdateFile writes it (without byte-order mark).
    QString ToText() const;
    // The bytes UpdateFile writes, with the byte-order mark of the encoding.
    QByteArray ToBytes() const;
    // Writes the file atomically; raises EWriteError with "Error writing to "%s"" on failure.
    virtual void UpdateFile() const;
    // Grows with every change of the content or the encoding; a writer compares it to know
    // whether there is anything left to save.
    quint64 ChangeCount() const;

protected:
    // Load false: an empty object for FileName, without reading the file.
    TMemIniFile(const QString& FileName, bool Load);

private:
    struct TData;
    std::unique_ptr<TData> D;
    TMemIniFile();
};

// The number syntax of ReadInteger: "0x" followed by hexadecimal digits, or decimal digits after
// optional blanks and sign, or "$" and hexadecimal digits. Hexadecimal numbers take the full width
// ("$FFFFFFFF" is -1). False when the text is no number of that width.
bool IniTextToInt(QStringView Text, int& Value);
bool IniTextToInt64(QStringView Text, qint64& Value);
