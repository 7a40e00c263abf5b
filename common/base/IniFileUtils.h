#pragma once
// The settings files of the suite: UTF-16 ini files, opened either for reading or for writing.
// Files opened for writing carry the marker "Encoding=UTF-16LE" in section "Unicode" and are
// always written as UTF-16 little-endian with its byte-order mark.

#include "MemIniFile.h"

#include <memory>

class TUnicodeIniFile : public TMemIniFile
{
public:
    // Reads the file (a missing file gives an empty object); this object never writes it.
    static std::unique_ptr<TUnicodeIniFile> CreateForRead(const QString& FileName);
    // Reads the file (with ClearEntries it starts empty instead) and marks it for UTF-16LE.
    static std::unique_ptr<TUnicodeIniFile> CreateForWrite(const QString& FileName, bool ClearEntries);

    // Saves what UpdateFile has not saved yet, but cannot report a failure: the owner calls
    // UpdateFile before releasing the object, and a failure here is only logged.
    ~TUnicodeIniFile() override;
    TUnicodeIniFile(const TUnicodeIniFile&) = delete;
    TUnicodeIniFile& operator=(const TUnicodeIniFile&) = delete;

    bool ReadOnly() const { return FReadOnly; }

    // Writes the whole file; raises EWriteError "Error writing to "%s"". Does nothing when the
    // object was opened for reading.
    void UpdateFile() const override;

    // Program and version identification in section "Unicode".
    void WriteProgramInfo(const QString& Ident, const QString& Value);

    // The number syntax of ReadInteger, 64 bits wide.
    qint64 ReadInt64(const QString& Section, const QString& Ident, qint64 Default) const;
    void WriteInt64(const QString& Section, const QString& Ident, qint64 Value);

private:
    TUnicodeIniFile(const QString& FileName, bool ReadOnly, bool Load);

    bool FReadOnly;
    // The change count at the last successful UpdateFile; none yet when FSaved is false.
    mutable bool FSaved = false;
    mutable quint64 FSavedChangeCount = 0;
};

// One Boolean value of an ini file, read in one call.
bool ReadIniBool(const QString& FileName, const QString& Section, const QString& Ident, bool Default);
