#include "SysFileDevice.h"

#include "platform/SysErrors.h"

TSysFileDevice::~TSysFileDevice()
{
    TSysFileDevice::close();
}

int TSysFileDevice::Failed(int Code)
{
    FSysError = Code;
    setErrorString(Platform::SysErrorMessage(Code));
    return Code;
}

int TSysFileDevice::OpenRead(const QString& Name)
{
    close();
    if (const int e = FFile.Open(Name, Platform::TOpenAccess::Read)) return Failed(e);
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    return 0;
}

int TSysFileDevice::Create(const QString& Name, bool Overwrite)
{
    close();
    if (const int e = Overwrite ? FFile.Create(Name) : FFile.CreateNew(Name)) return Failed(e);
    open(QIODevice::ReadWrite | QIODevice::Unbuffered);
    return 0;
}

qint64 TSysFileDevice::size() const
{
    qint64 bytes = 0;
    return FFile.IsOpen() && FFile.Size(bytes) == 0 ? bytes : 0;
}

bool TSysFileDevice::seek(qint64 Pos)
{
    if (!FFile.IsOpen() || !QIODevice::seek(Pos)) return false;
    if (const int e = FFile.Seek(Pos)) {
        Failed(e);
        return false;
    }
    return true;
}

void TSysFileDevice::close()
{
    if (isOpen()) QIODevice::close();
    if (FFile.IsOpen()) {
        if (const int e = FFile.Close()) Failed(e);
    }
}

qint64 TSysFileDevice::readData(char* Data, qint64 MaxSize)
{
    qint64 done = 0;
    if (const int e = FFile.Read(Data, MaxSize, done)) {
        Failed(e);
        return -1;
    }
    return done;
}

qint64 TSysFileDevice::writeData(const char* Data, qint64 MaxSize)
{
    qint64 total = 0;
    while (total < MaxSize) {
        qint64 done = 0;
        // A short write is followed by another call, which reports the reason.
        if (const int e = FFile.Write(Data + total, MaxSize - total, done)) {
            Failed(e);
            return -1;
        }
        if (done == 0) {
            Failed(Platform::ErrDiskFull);
            return -1;
        }
        total += done;
    }
    return total;
}
