#include "DeviceIo.h"

qint64 ReadFull(QIODevice& Source, char* Buffer, qint64 Count)
{
    qint64 done = 0;
    while (done < Count) {
        const qint64 n = Source.read(Buffer + done, Count - done);
        if (n < 0) return -1;
        if (n == 0) break;
        done += n;
    }
    return done;
}

bool WriteFull(QIODevice& Dest, const char* Buffer, qint64 Count)
{
    return Count == 0 || Dest.write(Buffer, Count) == Count;
}
