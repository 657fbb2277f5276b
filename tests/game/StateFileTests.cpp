#include "GameFixture.h"

#include "framework/Exceptions.h"
#include "framework/FileStream.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <csignal>
#include <functional>
#include <future>
#include <random>
#ifndef _WIN32
#include "ChildProcess.h"

#include <poll.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#endif

using namespace Exceptions;

namespace {

QByteArray ReadAll(const QString& Path)
{
    QFile File(Path);
    return File.open(QIODevice::ReadOnly) ? File.readAll() : QByteArray();
}

void WriteAll(const QString& Path, const QByteArray& Bytes)
{
    QFile File(Path);
    ASSERT_TRUE(File.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(File.write(Bytes), Bytes.size());
}

QByteArray Bytes(std::initializer_list<int> Values)
{
    QByteArray Result;
    for (int V : Values)
        Result.append(char(V));
    return Result;
}

bool IsZero(const TStateBlock& Block)
{
    const auto* P = reinterpret_cast<const char*>(&Block);
    return std::all_of(P, P + sizeof Block, [](char C) { return C == 0; });
}

// A block whose bytes are 1, 2, 3, ...: any byte lost or moved shows.
QByteArray CountingBytes(int Size)
{
    QByteArray Result(Size, 0);
    for (int I = 0; I < Size; ++I)
        Result[I] = char(I % 251 + 1);
    return Result;
}

#ifndef _WIN32
// Tells when somebody opens the file, which inotify reports; it watches from its construction.
class TOpenWatch {
public:
    explicit TOpenWatch(const QString& Path) : FWatch(inotify_init1(IN_CLOEXEC))
    {
        inotify_add_watch(FWatch, QFile::encodeName(Path).constData(), IN_OPEN);
    }
    TOpenWatch(const TOpenWatch&) = delete;
    TOpenWatch& operator=(const TOpenWatch&) = delete;
    ~TOpenWatch() { ::close(FWatch); }
    // Whether the file was opened within the time.
    bool Wait(int Milliseconds)
    {
        pollfd Opened{FWatch, POLLIN, 0};
        return poll(&Opened, 1, Milliseconds) == 1;
    }

private:
    int FWatch;
};

// Lets writes fail past a file size, as a full disk would, until it goes out of scope.
class TFullDisk {
public:
    explicit TFullDisk(rlim_t Bytes)
    {
        getrlimit(RLIMIT_FSIZE, &FOld);
        FOldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit Limit = FOld;
        Limit.rlim_cur = Bytes;
        setrlimit(RLIMIT_FSIZE, &Limit);
    }
    ~TFullDisk()
    {
        setrlimit(RLIMIT_FSIZE, &FOld);
        std::signal(SIGXFSZ, FOldHandler);
    }

private:
    rlimit FOld{};
    void (*FOldHandler)(int);
};
#endif

class StateFile : public GameTest {
protected:
    // A new main window over the state file as it now is.
    void Restart()
    {
        Form.reset();
        Form = std::make_unique<TZorvikForm>();
        BestScoresForm = new TBestScoresForm(Form.get());
    }

    void CloseAt(int Left, int Top)
    {
        Form->show();
        Form->move(Left, Top);
        ASSERT_TRUE(Form->close());
    }
};

} // namespace

TEST(StateFileName, TheExtensionOfTheExecutableBecomesDat)
{
    // "/" on Linux, the current drive on Windows.
    const QString Root = QDir::rootPath();
    EXPECT_EQ(StateFileNameFor(Root + "opt/games/Zorvik.exe"), Root + "opt/games/Zorvik.dat");
    EXPECT_EQ(StateFileNameFor(Root + "opt/games/Zorvik"), Root + "opt/games/Zorvik.dat");
    EXPECT_EQ(StateFileNameFor(Root + "opt/my.games/Zorvik"), Root + "opt/my.games/Zorvik.dat");
    EXPECT_EQ(StateFileNameFor(Root + "opt/games/Zorvik.v2.bin"), Root + "opt/games/Zorvik.v2.dat");
    SetStateFileName(QString());
    EXPECT_EQ(StateFileName(), QFileInfo(QCoreApplication::applicationFilePath()).absolutePath() + "/zorvik_tests.dat");
}

#ifdef _WIN32
// Beside the executable where the player may create it, and otherwise in %APPDATA%\<program>, the
// folder of the player's own that Windows keeps for a program's data.
TEST(StateFileName, BesideTheExecutableWhenTheFileIsThereOrMayBeCreatedElseInTheApplicationDataFolder)
{
    QTemporaryDir Folder;
    ASSERT_TRUE(Folder.isValid());
    const QString Executable = Folder.filePath("Zorvik.exe");
    const QString InData = QDir::fromNativeSeparators(qEnvironmentVariable("APPDATA")) + "/" +
                           QCoreApplication::applicationName() + "/Zorvik.dat";
    EXPECT_EQ(ChooseStateFileName(Executable), Folder.filePath("Zorvik.dat"));
    EXPECT_EQ(ChooseStateFileName(Executable, true), InData);
    // A folder where nothing can be created, as Program Files is for a player who is no administrator.
    EXPECT_EQ(ChooseStateFileName(Folder.filePath("missing/Zorvik.exe")), InData);
    EXPECT_EQ(QDir(Folder.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList())
        << "the probe leaves nothing behind";
}
#else
// True when Check holds for a user who may not create files in folders that are not theirs.
bool AsPlainUser(const std::function<bool()>& Check)
{
    return RunInChild([&] { return Check() ? 0 : 1; }, true) == 0;
}

TEST(StateFileName, BesideTheExecutableWhenTheFileIsThereOrMayBeCreatedElseInTheDataFolder)
{
    QTemporaryDir Folder;
    ASSERT_TRUE(Folder.isValid());
    const QString Executable = Folder.filePath("Zorvik");
    const QString Beside = Folder.filePath("Zorvik.dat");
    const QString InData = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + "/Zorvik.dat";
    EXPECT_EQ(ChooseStateFileName(Executable), Beside);
    EXPECT_EQ(ChooseStateFileName(Executable, true), InData);

    // A folder the player may read but not write, as an installed game's is.
    ASSERT_TRUE(QFile::setPermissions(Folder.path(), QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                                         QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther));
    EXPECT_TRUE(AsPlainUser([&] { return ChooseStateFileName(Executable) == InData; }));
    // A state file there stays where it is, whether the player may write it or not.
    {
        QFile File(Beside);
        ASSERT_TRUE(File.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(QFile::setPermissions(Beside, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther |
                                                  QFile::WriteOther));
    EXPECT_TRUE(AsPlainUser([&] { return ChooseStateFileName(Executable) == Beside; }));
    ASSERT_TRUE(QFile::setPermissions(Beside, QFile::ReadOwner | QFile::ReadOther));
    EXPECT_TRUE(AsPlainUser([&] { return ChooseStateFileName(Executable) == Beside; }));
    // So in a folder the player may write.
    ASSERT_TRUE(QFile::setPermissions(Folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                         QFile::ReadOther | QFile::WriteOther | QFile::ExeOther));
    EXPECT_TRUE(AsPlainUser([&] { return ChooseStateFileName(Executable) == Beside; }));
    QFile::setPermissions(Folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(QDir(Folder.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{"Zorvik.dat"})
        << "the probe leaves nothing behind";
}
#endif

// Once the state lives in the data folder (the program's folder was not writable), it stays there:
// the program's folder becoming writable must not start the player on an empty table beside it.
TEST(StateFileName, AStateFileInTheDataFolderStaysInUseWhileNoneIsBesideTheExecutable)
{
    QStandardPaths::setTestModeEnabled(true);
    const QString DataFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    const QString InData = DataFolder + "/Zorvik.dat";
    QTemporaryDir Folder;
    ASSERT_TRUE(Folder.isValid());
    const QString Executable = Folder.filePath("Zorvik.exe");
    const QString Beside = Folder.filePath("Zorvik.dat");
    QFile::remove(InData);
    EXPECT_EQ(ChooseStateFileName(Executable), Beside);
    ASSERT_TRUE(QDir().mkpath(DataFolder));
    {
        QFile File(InData);
        ASSERT_TRUE(File.open(QIODevice::WriteOnly));
    }
    EXPECT_EQ(ChooseStateFileName(Executable), InData);
    // A file beside the executable is the one in use, as before.
    {
        QFile File(Beside);
        ASSERT_TRUE(File.open(QIODevice::WriteOnly));
    }
    EXPECT_EQ(ChooseStateFileName(Executable), Beside);
    QFile::remove(InData);
    QStandardPaths::setTestModeEnabled(false);
}

TEST_F(StateFile, WithoutAFileTheWindowOpensAtTheCornerWithAnEmptyTable)
{
    EXPECT_FALSE(QFile::exists(StatePath()));
    EXPECT_EQ(Form->pos(), QPoint(0, 0));
    EXPECT_TRUE(IsZero(Form->StateBlock()));
    CloseAt(10, 20);
    EXPECT_EQ(ReadAll(StatePath()).size(), 520);
}

TEST_F(StateFile, ThePositionIsWrittenLittleEndianAndRestored)
{
    CloseAt(100, 50);
    EXPECT_EQ(ReadAll(StatePath()).left(8), Bytes({0x64, 0, 0, 0, 0x32, 0, 0, 0}));
    Restart();
    EXPECT_EQ(Form->pos(), QPoint(100, 50));

    CloseAt(-8, 3000);
    EXPECT_EQ(ReadAll(StatePath()).left(8), Bytes({0xF8, 0xFF, 0xFF, 0xFF, 0xB8, 0x0B, 0, 0}));
    // A place on no screen is applied unchanged.
    Restart();
    EXPECT_EQ(Form->pos(), QPoint(-8, 3000));

    // One no window rectangle can hold is held within the largest window size.
    QByteArray Damaged = ReadAll(StatePath());
    Damaged.replace(0, 8, Bytes({0x64, 0, 0, 0, 0x32, 0xFF, 0xFF, 0x7F}));
    WriteAll(StatePath(), Damaged);
    Restart();
    EXPECT_EQ(Form->pos(), QPoint(100, QWIDGETSIZE_MAX));
}

// Where the platform cannot say where the window is, the close keeps the position saved before.
TEST(WindowPosition, OnlyPlatformsThatKnowTheWindowsPlaceHaveItSaved)
{
    const struct {
        const char* Platform;
        bool Reports;
    } Cases[] = {{"xcb", true}, {"windows", true}, {"offscreen", true}, {"cocoa", true},
                 {"wayland", false}, {"wayland-egl", false}, {"wayland-brcm", false}};
    for (const auto& C : Cases)
        EXPECT_EQ(PlatformReportsWindowPosition(C.Platform), C.Reports) << C.Platform;
}

TEST_F(StateFile, AShortFileIsIgnoredWholeAndALongOneReadForItsFirst520Bytes)
{
    WriteAll(StatePath(), CountingBytes(519));
    Restart();
    EXPECT_TRUE(IsZero(Form->StateBlock()));

    const QByteArray Long = CountingBytes(600);
    WriteAll(StatePath(), Long);
    Restart();
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(&Form->StateBlock()), 520), Long.left(520));
    ASSERT_TRUE(Form->close());
    const QByteArray Written = ReadAll(StatePath());
    EXPECT_EQ(Written.size(), 520);
    // All but the position comes back byte for byte, filler bytes included.
    EXPECT_EQ(Written.mid(8), Long.mid(8, 512));
}

TEST_F(StateFile, ARecordIsStoredByteForByte)
{
    TStateBlock Block{};
    WriteNameField(Block.FBestScores[0].Name, "Ann");
    Block.FBestScores[0].Date = StoredFromDate(QDate(2003, 6, 15));
    Block.FBestScores[0].Score = 1234;
    std::memcpy(Block.FBestScores[0].Filler, "\x01\x02\x03\x04", 4);
    SaveStateBlock(StatePath(), Block);
    const QByteArray Record = ReadAll(StatePath()).mid(40, 48);
    QByteArray Expected = Bytes({0x41, 0x6E, 0x6E});
    Expected += QByteArray(29, 0);
    Expected += Bytes({0, 0, 0, 0, 0x60, 0x73, 0xE2, 0x40, 0xD2, 0x04, 0, 0, 1, 2, 3, 4});
    EXPECT_EQ(Record, Expected);
}

TEST_F(StateFile, ClosingDuringAGameSavesWithoutEnteringTheScore)
{
    Play();
    Form->SetScore(500);
    ASSERT_TRUE(Form->close());
    EXPECT_EQ(Modals.Opened, 0);
    TStateBlock Block;
    LoadStateBlock(StatePath(), Block);
    EXPECT_EQ(Block.FBestScores[0].Score, 0);
}

TEST_F(StateFile, AFileThatCannotBeCreatedKeepsTheWindowOpen)
{
    const QString Path = Folder.filePath("no-such-folder/Zorvik.dat");
    SetStateFileName(Path);
    Form->show();
    EXPECT_FALSE(Form->close());
    EXPECT_TRUE(Form->isVisible());
    ASSERT_EQ(Shown.Messages.size(), 1);
    EXPECT_EQ(Shown.Messages[0], "Cannot create file " + QDir::toNativeSeparators(Path) + ".");
    EXPECT_EQ(Shown.Captions[0], "Zorvik");
    // The next attempt tries again.
    SetStateFileName(StatePath());
    EXPECT_TRUE(Form->close());
    EXPECT_EQ(ReadAll(StatePath()).size(), 520);
}

#ifndef _WIN32
// The state is read where the file is, also when the player may not write it; the close then
// says that the file cannot be created and the window stays, beside the executable as in the
// data folder, where an installed game keeps it.
TEST_F(StateFile, AFileThePlayerMayReadButNotWriteIsLoadedAndTheCloseSaysItCannotBeCreated)
{
    const QString DataHome = Folder.filePath("data");
    const QByteArray OldDataHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(DataHome));
    const QString Executable = Folder.filePath("game/Zorvik");
    const QString InData = ChooseStateFileName(Executable, true);
    ASSERT_TRUE(QDir().mkpath(QFileInfo(Executable).path()) && QDir().mkpath(QFileInfo(InData).path()));
    for (const QString& Dir : {Folder.path(), Folder.filePath("game"), DataHome, QFileInfo(InData).path()})
        ASSERT_TRUE(GiveToChild(Dir) && QFile::setPermissions(Dir, QFile::ReadOwner | QFile::WriteOwner |
                                                                       QFile::ExeOwner | QFile::ExeOther));
    TStateBlock Block{};
    InsertBestScore(Block.FBestScores, 620, QDate(2026, 12, 9));
    WriteNameField(Block.FBestScores[0].Name, "Ann");
    Block.FSavedLeft = 70;
    const QByteArray Stored(reinterpret_cast<const char*>(&Block), sizeof Block);

    for (const bool InDataFolder : {false, true}) {
        SCOPED_TRACE(InDataFolder ? "in the data folder" : "beside the executable");
        const QString Path = InDataFolder ? InData : StateFileNameFor(Executable);
        WriteAll(Path, Stored);
        ASSERT_TRUE(QFile::setPermissions(Path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        const int Outcome = RunInChild(
            [&] {
                if (ChooseStateFileName(Executable, InDataFolder) != Path)
                    return 2;
                SetStateFileName(Path);
                Restart();
                if (Form->StateBlock().FBestScores[0].Score != 620 || Form->pos() != QPoint(70, 0))
                    return 3;
                Form->show();
                if (Form->close() || !Form->isVisible())
                    return 4;
                return Shown.Messages == QStringList{"Cannot create file " + QDir::toNativeSeparators(Path) + "."} ? 0 : 5;
            },
            true);
        EXPECT_EQ(Outcome, 0);
        EXPECT_EQ(ReadAll(Path), Stored);
    }
    QFile::setPermissions(Folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (OldDataHome.isNull())
        qunsetenv("XDG_DATA_HOME");
    else
        qputenv("XDG_DATA_HOME", OldDataHome);
}

TEST_F(StateFile, AFailedWriteLeavesThePreviousFileIntact)
{
    const QByteArray Previous = CountingBytes(520);
    WriteAll(StatePath(), Previous);
    Form->show();
    {
        TFullDisk Full(100);
        EXPECT_FALSE(Form->close());
    }
    ASSERT_EQ(Shown.Messages.size(), 1);
    EXPECT_EQ(Shown.Messages[0], "Stream write error.");
    EXPECT_EQ(ReadAll(StatePath()), Previous);
    EXPECT_EQ(QDir(Folder.path()).entryList(QDir::Files), QStringList{"Zorvik.dat"});
    EXPECT_TRUE(Form->close());
}

#endif

TEST_F(StateFile, AFileHeldByAnotherOpenIsNeitherReadNorReplaced)
{
    TStateBlock Block{};
    Block.FBestScores[0].Score = 77;
    SaveStateBlock(StatePath(), Block);
    {
        // Another copy writing holds the file exclusively.
        TFileStream Writer = TFileStream::Open(StatePath(), TFileAccess::ReadWrite, TShareMode::Exclusive);
        TStateBlock Loaded;
        LoadStateBlock(StatePath(), Loaded);
        EXPECT_TRUE(IsZero(Loaded));
        Form->show();
        EXPECT_FALSE(Form->close());
        EXPECT_EQ(Shown.Messages.value(0), "Cannot create file " + QDir::toNativeSeparators(StatePath()) + ".");
    }
    TStateBlock Loaded;
    LoadStateBlock(StatePath(), Loaded);
    EXPECT_EQ(Loaded.FBestScores[0].Score, 77);
}

// Each close keeps what the file holds beside its own table: a record earned in either copy stays,
// while the position and the last name are those of the copy that closed last.
TEST_F(StateFile, TwoCopiesClosingInTurnKeepTheRecordsOfBoth)
{
    TStateBlock First{}, Second{};
    LoadStateBlock(StatePath(), First);
    LoadStateBlock(StatePath(), Second);
    InsertBestScore(First.FBestScores, 92, QDate(2026, 1, 1));
    WriteNameField(First.FBestScores[0].Name, "Ann");
    WriteNameField(First.FLastPlayerName, "Ann");
    First.FSavedLeft = 10;
    InsertBestScore(Second.FBestScores, 64, QDate(2026, 1, 2));
    WriteNameField(Second.FBestScores[0].Name, "Bob");
    WriteNameField(Second.FLastPlayerName, "Bob");
    Second.FSavedLeft = 20;
    SaveStateBlock(StatePath(), First);
    SaveStateBlock(StatePath(), Second);
    TStateBlock Loaded;
    LoadStateBlock(StatePath(), Loaded);
    EXPECT_EQ(Loaded.FBestScores[0].Score, 92);
    EXPECT_EQ(ReadNameField(Loaded.FBestScores[0].Name), "Ann");
    EXPECT_EQ(Loaded.FBestScores[1].Score, 64);
    EXPECT_EQ(ReadNameField(Loaded.FBestScores[1].Name), "Bob");
    EXPECT_EQ(Loaded.FBestScores[2].Score, 0);
    EXPECT_EQ(ReadNameField(Loaded.FLastPlayerName), "Bob");
    EXPECT_EQ(Loaded.FSavedLeft, 20);

    // The first copy closes again: nothing is counted twice.
    SaveStateBlock(StatePath(), First);
    LoadStateBlock(StatePath(), Loaded);
    EXPECT_EQ(Loaded.FBestScores[1].Score, 64);
    EXPECT_EQ(Loaded.FBestScores[2].Score, 0);
    EXPECT_EQ(ReadNameField(Loaded.FLastPlayerName), "Ann");
}

// A copy that started while another held the file waited its second and started empty; its close
// must not erase the table.
TEST_F(StateFile, ACopyThatStartedEmptyBehindALockKeepsTheTableAtItsClose)
{
    TStateBlock Block{};
    InsertBestScore(Block.FBestScores, 300, QDate(2026, 1, 1));
    WriteNameField(Block.FBestScores[0].Name, "Ann");
    SaveStateBlock(StatePath(), Block);
    {
        TFileStream Writer = TFileStream::Open(StatePath(), TFileAccess::ReadWrite, TShareMode::Exclusive);
        Restart();
    }
    EXPECT_TRUE(IsZero(Form->StateBlock()));
    ASSERT_TRUE(Form->close());
    TStateBlock Loaded;
    LoadStateBlock(StatePath(), Loaded);
    EXPECT_EQ(Loaded.FBestScores[0].Score, 300);
    EXPECT_EQ(ReadNameField(Loaded.FBestScores[0].Name), "Ann");
}

TEST_F(StateFile, AnyBytesLoadAndShowWithoutHarm)
{
    std::mt19937 Random(99);
    for (int Round = 0; Round < 20; ++Round) {
        QByteArray Noise(520, 0);
        for (char& C : Noise)
            C = char(Random());
        WriteAll(StatePath(), Noise);
        Restart();
        BestScoresForm->Grid->resize(BestScoresForm->Grid->size());
        const QImage Shown = BestScoresForm->grab().toImage();
        EXPECT_FALSE(Shown.isNull());
    }
}

// A FIFO would block the start and the close for ever; the alarm turns a hang into a failure.
#ifndef _WIN32
TEST_F(StateFile, APipeInThePlaceOfTheFileIsAnEmptyBlockAndIsNotReplaced)
{
    alarm(60);
    ASSERT_EQ(mkfifo(QFile::encodeName(StatePath()).constData(), 0666), 0);
    Restart();
    EXPECT_TRUE(IsZero(Form->StateBlock()));
    Form->show();
    EXPECT_FALSE(Form->close());
    EXPECT_EQ(Shown.Messages.value(0), "Cannot create file " + QDir::toNativeSeparators(StatePath()) + ".");
    struct stat Info{};
    EXPECT_TRUE(lstat(QFile::encodeName(StatePath()).constData(), &Info) == 0 && S_ISFIFO(Info.st_mode));
    alarm(0);
    SetStateFileName(Folder.filePath("Other.dat"));
}

TEST_F(StateFile, AWritableFileInAFolderThatRefusesNewFilesIsSaved)
{
    ASSERT_TRUE(QDir(Folder.path()).mkdir("locked"));
    const QString Path = Folder.filePath("locked/Zorvik.dat");
    // An old position and name, and an empty table, which the merge leaves as the new one.
    WriteAll(Path, QByteArray(40, 1) + QByteArray(480, 0));
    ASSERT_TRUE(GiveToChild(Path) && GiveToChild(Folder.filePath("locked")));
    ASSERT_TRUE(QFile::setPermissions(Folder.filePath("locked"), QFile::ReadOwner | QFile::ExeOwner));
    ASSERT_TRUE(QFile::setPermissions(Folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                         QFile::ExeGroup | QFile::ExeOther));
    TStateBlock Block{};
    WriteNameField(Block.FLastPlayerName, "Ann");
    Block.FBestScores[0].Score = 1234;
    const int Outcome = RunInChild(
        [&] {
            SaveStateBlock(Path, Block);
            return 0;
        },
        true);
    QFile::setPermissions(Folder.filePath("locked"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(Outcome, 0);
    EXPECT_EQ(ReadAll(Path), QByteArray(reinterpret_cast<const char*>(&Block), sizeof Block));
}

// A copy that starts while another replaces the file waits for it and reads the new file, whether
// the writer renames a new file into its place or, for a file with two names, writes in place.
// The writer finishes only once the reader has opened the file, which inotify reports.
TEST_F(StateFile, ALoadWaitsForAWriterAndReadsWhatItWrote)
{
    for (const bool InPlace : {false, true}) {
        SCOPED_TRACE(InPlace ? "written in place" : "replaced by a rename");
        TStateBlock Old{}, New{};
        Old.FBestScores[0].Score = 100;
        New.FBestScores[0].Score = 200;
        SaveStateBlock(StatePath(), Old);
        const QString SecondName = Folder.filePath("Second.dat");
        QFile::remove(SecondName);
        if (InPlace) {
            ASSERT_EQ(link(QFile::encodeName(StatePath()).constData(), QFile::encodeName(SecondName).constData()), 0);
        }

        std::promise<void> Writing;
        bool ReaderSeen = false;
        auto Writer = std::async(std::launch::async, [&] {
            ReplaceFile(StatePath(), [&](TFileStream& Stream) {
                TOpenWatch Watch(StatePath());
                Writing.set_value();
                ReaderSeen = Watch.Wait(5000);
                Stream.WriteBuffer(&New, sizeof New);
            });
        });
        Writing.get_future().wait();
        TStateBlock Loaded;
        LoadStateBlock(StatePath(), Loaded);
        Writer.get();
        EXPECT_TRUE(ReaderSeen);
        EXPECT_EQ(Loaded.FBestScores[0].Score, 200);
    }
}

// A copy closing while another saves waits for that save and keeps what it wrote: the file that the
// other copy put under the name, not the one it held while this one waited.
TEST_F(StateFile, ACloseWaitsForAnotherCopysSaveAndKeepsItsRecords)
{
    for (const bool InPlace : {false, true}) {
        SCOPED_TRACE(InPlace ? "written in place" : "replaced by a rename");
        TStateBlock Old{}, Other{};
        InsertBestScore(Old.FBestScores, 300, QDate(2026, 1, 1));
        Other = Old;
        InsertBestScore(Other.FBestScores, 200, QDate(2026, 1, 2));
        WriteNameField(Other.FBestScores[1].Name, "Bob");
        QFile::remove(StatePath());
        SaveStateBlock(StatePath(), Old);
        const QString SecondName = Folder.filePath("Second.dat");
        QFile::remove(SecondName);
        if (InPlace) {
            ASSERT_EQ(link(QFile::encodeName(StatePath()).constData(), QFile::encodeName(SecondName).constData()), 0);
        }
        Restart();
        InsertBestScore(Form->StateBlock().FBestScores, 100, QDate(2026, 1, 3));
        WriteNameField(Form->StateBlock().FBestScores[1].Name, "Ann");

        std::promise<void> Writing;
        bool CloseSeen = false;
        auto OtherCopy = std::async(std::launch::async, [&] {
            ReplaceFile(StatePath(), [&](TFileStream& Stream) {
                TOpenWatch Watch(StatePath());
                Writing.set_value();
                CloseSeen = Watch.Wait(5000);
                // The close has found the file held; it must wait, not fail.
                QThread::msleep(200);
                Stream.WriteBuffer(&Other, sizeof Other);
            });
        });
        Writing.get_future().wait();
        Form->show();
        EXPECT_TRUE(Form->close());
        OtherCopy.get();
        EXPECT_TRUE(CloseSeen);
        EXPECT_TRUE(Shown.Messages.isEmpty()) << Shown.Messages.join(u' ').toStdString();
        TStateBlock Loaded;
        LoadStateBlock(StatePath(), Loaded);
        EXPECT_EQ(Loaded.FBestScores[0].Score, 300);
        EXPECT_EQ(Loaded.FBestScores[1].Score, 200);
        EXPECT_EQ(ReadNameField(Loaded.FBestScores[1].Name), "Bob");
        EXPECT_EQ(Loaded.FBestScores[2].Score, 100);
        EXPECT_EQ(ReadNameField(Loaded.FBestScores[2].Name), "Ann");
    }
}

// Loading and saving as root through a state file name where another user made a link in a shared
// folder, for the file itself or for a folder on the way: root's file is neither read nor replaced.
TEST_F(StateFile, AStateFileLinkPlantedByAnotherUserInASharedFolderIsNotFollowed)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to act as two users";
    TStateBlock Secret{};
    Secret.FBestScores[0].Score = 777;
    ASSERT_TRUE(QDir(Folder.path()).mkdir("private") && QDir(Folder.path()).mkdir("shared"));
    ASSERT_EQ(chmod(QFile::encodeName(Folder.filePath("shared")).constData(), 01777), 0);
    ASSERT_EQ(chmod(QFile::encodeName(Folder.path()).constData(), 0755), 0);
    const struct {
        const char* Link;
        const char* Target;
        const char* Planted;
        const char* Victim;
    } Cases[] = {
        {"shared/Zorvik.dat", "../victim", "shared/Zorvik.dat", "victim"},
        {"shared/games", "../private", "shared/games/Zorvik.dat", "private/Zorvik.dat"},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Planted);
        const QString Victim = Folder.filePath(Case.Victim);
        SaveStateBlock(Victim, Secret);
        const QByteArray VictimFile = ReadAll(Victim);
        const QString Planted = Folder.filePath(Case.Planted);
        const QByteArray Link = QFile::encodeName(Folder.filePath(Case.Link));
        ASSERT_EQ(RunInChild([&] { return symlink(Case.Target, Link.constData()) == 0 ? 0 : 2; }, true), 0);

        TStateBlock Loaded{};
        Loaded.FBestScores[0].Score = 1;
        LoadStateBlock(Planted, Loaded);
        EXPECT_TRUE(IsZero(Loaded));
        TStateBlock Block{};
        Block.FBestScores[0].Score = 1234;
        try {
            SaveStateBlock(Planted, Block);
            ADD_FAILURE() << "the planted link was followed";
        } catch (const EFCreateError& Error) {
            EXPECT_EQ(Error.Message(), "Cannot create file " + QDir::toNativeSeparators(Planted));
        }
        EXPECT_EQ(ReadAll(Victim), VictimFile);
    }
}
#endif
