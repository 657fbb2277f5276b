#include "game/ZorvikState.h"

#include "framework/FileStream.h"
#include "game/ZorvikFrm.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cstring>

namespace {
QString StateFileNameOverride;
} // namespace

QString StateFileName()
{
    if (!StateFileNameOverride.isEmpty())
        return StateFileNameOverride;
#ifdef ZORVIK_STATE_IN_APP_DATA
    // An installed game cannot write beside its executable: the player's data folder holds the file.
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/Zorvik.dat");
#else
    return StateFileNameFor(QCoreApplication::applicationFilePath());
#endif
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
    ReplaceFile(FileName, [&](TFileStream& Stream) { Stream.WriteBuffer(&Block, sizeof Block); }, Durable);
}

void TZorvikForm::LoadState()
{
    LoadStateBlock(StateFileName(), FStateBlock);
}

void TZorvikForm::SaveState()
{
    const QString FileName = StateFileName();
#ifdef ZORVIK_STATE_IN_APP_DATA
    QDir().mkpath(QFileInfo(FileName).absolutePath());
#endif
    SaveStateBlock(FileName, FStateBlock);
}
