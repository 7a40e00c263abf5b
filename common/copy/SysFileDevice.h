#pragma once
// A file of the host layer as a QIODevice, so that stream operations written for QIODevice reach the
// host's error codes (a full disk is told apart from other write failures) and its fault hooks.

#include "platform/FileSystem.h"

#include <QIODevice>

class TSysFileDevice : public QIODevice
{
public:
    TSysFileDevice() = default;
    ~TSysFileDevice() override;

    // Each returns 0 or the system error code; the device is open (unbuffered) on success.
    int OpenRead(const QString& Name);
    // Overwrite: replace an existing file; otherwise an existing file is an error.
    int Create(const QString& Name, bool Overwrite);

    // The system error code of the last failed read or write; 0 when none failed.
    int SysError() const { return FSysError; }
    const QString& FileName() const { return FFile.Name(); }

    bool isSequential() const override { return false; }
    qint64 size() const override;
    bool seek(qint64 Pos) override;
    void close() override;

protected:
    qint64 readData(char* Data, qint64 MaxSize) override;
    qint64 writeData(const char* Data, qint64 MaxSize) override;

private:
    int Failed(int Code);

    Platform::TFile FFile;
    int FSysError = 0;
};
