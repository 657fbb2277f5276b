// Arbitrary bytes as the state file: they are loaded as the main window loads them, and every
// cell of the best-scores dialog is drawn from them.
#include "framework/Application.h"
#include "game/ZorvikState.h"
#include "scores/BestScoresFrm.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace {

struct TSetup {
    TSetup()
    {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        static int Argc = 1;
        static char Name[] = "state_fuzz";
        static char* Argv[] = {Name, nullptr};
        Application = new TApplication(Argc, Argv);
        BestScoresForm = new TBestScoresForm;
        BestScoresForm->SetStateBlock(&Block);
        FileName = Folder.filePath("Zorvik.dat");
    }
    TApplication* Application;
    TStateBlock Block{};
    QTemporaryDir Folder;
    QString FileName;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    static TSetup Setup;
    {
        QFile File(Setup.FileName);
        if (!File.open(QIODevice::WriteOnly | QIODevice::Truncate))
            std::abort();
        File.write(reinterpret_cast<const char*>(Data), qint64(Size));
    }
    LoadStateBlock(Setup.FileName, Setup.Block);
    const QImage Picture = BestScoresForm->grab().toImage();
    if (Picture.isNull())
        std::abort();
    return 0;
}
