// Arbitrary bytes as the state file. What loads must follow from the file alone: a file shorter than
// the block gives the empty block, a longer one its first bytes; a saved block reads back byte for
// byte. The main window is then built from the file, so that the saved position is applied, and
// every cell of the best-scores dialog is drawn from the loaded table.
#include "framework/Application.h"
#include "game/ZorvikFrm.h"
#include "game/ZorvikState.h"
#include "scores/BestScoresFrm.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QWidget>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

struct TSetup {
    TSetup()
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        static int Argc = 1;
        static char Name[] = "state_fuzz";
        static char* Argv[] = {Name, nullptr};
        Application = new TApplication(Argc, Argv);
        FileName = Folder.filePath("Zorvik.dat");
        SetStateFileName(FileName);
    }
    TApplication* Application;
    QTemporaryDir Folder;
    QString FileName;
};

void Require(bool Condition, const char* What)
{
    if (!Condition) {
        std::fprintf(stderr, "violated: %s\n", What);
        std::abort();
    }
}

QByteArray FileBytes(const QString& Name)
{
    QFile File(Name);
    Require(File.open(QIODevice::ReadOnly), "the state file can be read");
    return File.readAll();
}

QByteArray BlockBytes(const TStateBlock& Block)
{
    return QByteArray(reinterpret_cast<const char*>(&Block), sizeof Block);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    static TSetup Setup;
    const QByteArray Content(reinterpret_cast<const char*>(Data), qsizetype(Size));
    {
        QFile File(Setup.FileName);
        Require(File.open(QIODevice::WriteOnly | QIODevice::Truncate), "the state file can be written");
        Require(File.write(Content) == Content.size(), "the state file takes the input");
    }

    TStateBlock Block;
    std::memset(&Block, 0x5A, sizeof Block);
    LoadStateBlock(Setup.FileName, Block);
    Require(BlockBytes(Block) == (Size < sizeof Block ? QByteArray(sizeof Block, '\0') : Content.left(sizeof Block)),
            "a short file loads as the empty block, a longer one as its first bytes");

    // Saved, the block is the whole file, and loads back unchanged.
    SaveStateBlock(Setup.FileName, Block, false);
    Require(FileBytes(Setup.FileName) == BlockBytes(Block), "a saved file is the block");
    TStateBlock Again;
    LoadStateBlock(Setup.FileName, Again);
    Require(BlockBytes(Again) == BlockBytes(Block), "a saved block loads back byte for byte");

    auto Form = std::make_unique<TZorvikForm>();
    // Beyond any window rectangle a coordinate is held within the largest window size.
    const auto Held = [](std::int32_t Value) { return std::clamp(Value, -QWIDGETSIZE_MAX, QWIDGETSIZE_MAX); };
    Require(Form->pos() == QPoint(Held(Block.FSavedLeft), Held(Block.FSavedTop)), "the saved position is applied");
    Require(BlockBytes(Form->StateBlock()) == BlockBytes(Block), "the window holds the loaded block");
    BestScoresForm = new TBestScoresForm(Form.get());
    BestScoresForm->SetStateBlock(&Form->StateBlock());
    const QImage Picture = BestScoresForm->grab().toImage();
    Require(!Picture.isNull(), "the best-scores dialog draws");
    Form.reset();
    BestScoresForm = nullptr;
    ZorvikForm = nullptr;
    return 0;
}
