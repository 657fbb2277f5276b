#include "game/ZorvikState.h"

#include "framework/FileStream.h"
#include "game/ZorvikFrm.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <cstring>

namespace {
QString StateFileNameOverride;

// Whether the player may create the file in its folder.
bool CanCreate(const QString& FileName)
{
    QTemporaryFile Probe(QFileInfo(FileName).absolutePath() + QStringLiteral("/XXXXXX.tmp"));
    return Probe.open();
}
} // namespace

QString StateFileName()
{
    if (!StateFileNameOverride.isEmpty())
        return StateFileNameOverride;
#ifdef ZORVIK_STATE_IN_APP_DATA
    constexpr bool InDataFolder = true;
#else
    constexpr bool InDataFolder = false;
#endif
    // Decided once, so that the state is saved where it was loaded from.
    static const QString Name = ChooseStateFileName(QCoreApplication::applicationFilePath(), InDataFolder);
    return Name;
}

QString ChooseStateFileName(const QString& ExecutablePath, bool InDataFolder)
{
    const QString Beside = StateFileNameFor(ExecutablePath);
    const QString InData =
        QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + u'/' + QFileInfo(Beside).fileName();
    if (InDataFolder)
        return InData;
    // A file that is there is used, also one the player may not write: its table is shown, and
    // the close says that it cannot be saved instead of moving the state elsewhere unnoticed. The
    // one in the data folder stays in use once the program's folder has become writable.
    if (QFileInfo::exists(Beside))
        return Beside;
    if (QFileInfo::exists(InData) || !CanCreate(Beside))
        return InData;
    return Beside;
}

QString StateFileNameFor(const QString& ExecutablePath)
{
    const QFileInfo Executable(ExecutablePath);
    QString Name = Executable.fileName();
    const qsizetype Dot = Name.lastIndexOf(u'.');
    if (Dot >= 0)
        Name.truncate(Dot);
    return Executable.absolutePath() + u'/' + Name + QStringLiteral(".dat");
}

void SetStateFileName(const QString& FileName)
{
    StateFileNameOverride = FileName;
}

void LoadStateBlock(const QString& FileName, TStateBlock& Block) noexcept
{
    try {
        // Another copy replacing the file holds it for a moment; giving up at once would start this
        // copy with an empty table, which its close would then save over the real one.
        TFileStream Stream =
            TFileStream::Open(FileName, TFileAccess::Read, TShareMode::DenyNone, std::chrono::seconds(1));
        Stream.ReadBuffer(&Block, sizeof Block);
    } catch (...) {
        std::memset(&Block, 0, sizeof Block);
    }
}

void SaveStateBlock(const QString& FileName, const TStateBlock& Block, bool Durable)
{
    // Another copy may have saved records since this one loaded the file, or this one may have
    // started empty while another held the file: what the file holds now is kept beside ours. It is
    // read while the file is held for the replacement, so no save of another copy comes in between.
    TStateBlock OnDisk{};
    const auto ReadOld = [&](TFileStream& Old) {
        if (Old.Read(&OnDisk, sizeof OnDisk) != std::int64_t(sizeof OnDisk))
            std::memset(&OnDisk, 0, sizeof OnDisk);
    };
    const auto Write = [&](TFileStream& Stream) {
        TStateBlock Saved = Block;
        Saved.FBestScores = MergeBestScores(OnDisk.FBestScores, Block.FBestScores);
        Stream.WriteBuffer(&Saved, sizeof Saved);
    };
    // Copies ended together (a logout) save at the same moment: the file is waited for, not given up.
    ReplaceFile(FileName, Write, Durable, ReadOld, SaveWait);
}

void TZorvikForm::LoadState()
{
    LoadStateBlock(StateFileName(), FStateBlock);
}

void TZorvikForm::SaveState()
{
    const QString FileName = StateFileName();
    // The player's data folder may not exist yet; no other folder is made.
    const QString Folder = QFileInfo(FileName).absolutePath();
    if (Folder == QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
        QDir().mkpath(Folder);
    SaveStateBlock(FileName, FStateBlock);
}
