// Feeds every file of the given folders to the fuzz target once: the corpus as a regression test.
#include <QByteArray>
#include <QDir>
#include <QFile>

#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size);

int main(int Argc, char** Argv)
{
    int Inputs = 0;
    for (int I = 1; I < Argc; ++I) {
        const QDir Folder(QString::fromLocal8Bit(Argv[I]));
        for (const QString& Name : Folder.entryList(QDir::Files, QDir::Name)) {
            QFile File(Folder.filePath(Name));
            if (!File.open(QIODevice::ReadOnly))
                return 2;
            const QByteArray Bytes = File.readAll();
            LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(Bytes.constData()), size_t(Bytes.size()));
            ++Inputs;
        }
    }
    std::printf("%d inputs replayed\n", Inputs);
    return Inputs > 0 ? 0 : 1;
}
