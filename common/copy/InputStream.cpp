#include "InputStream.h"

#include "platform/FileSystem.h"

namespace {

class TFileInputStream : public IInputStream
{
public:
    int Open(const QString& FileName) { return FFile.Open(FileName, Platform::TOpenAccess::Read); }
    int Read(void* Buffer, qint64 Count, qint64& Done) override { return FFile.Read(Buffer, Count, Done); }
    int Size(qint64& Bytes) override { return FFile.Size(Bytes); }
    int Commit() override { return FFile.Close(); }

private:
    Platform::TFile FFile;
};

} // namespace

std::shared_ptr<IInputStream> OpenFileInputStream(const QString& FileName, int& Error)
{
    auto stream = std::make_shared<TFileInputStream>();
    Error = stream->Open(FileName);
    return Error ? nullptr : stream;
}
