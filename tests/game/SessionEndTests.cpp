#include "ChildProcess.h"
#include "GameFixture.h"

#include "app/SessionEnd.h"

#include <QLineEdit>
#include <QSessionManager>
#include <QTest>

#include <QElapsedTimer>

#include <csignal>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

// A pipe on which a child tells the test that it has reached the point where it waits to be
// signalled.
class TReadyPipe {
public:
    TReadyPipe() { Ok = pipe(FEnds) == 0; }
    ~TReadyPipe()
    {
        ::close(FEnds[0]);
        ::close(FEnds[1]);
    }
    void Tell() const
    {
        const char Byte = 'r';
        if (::write(FEnds[1], &Byte, 1) != 1)
            _exit(124);
    }
    bool Wait() const
    {
        char Byte;
        return ::read(FEnds[0], &Byte, 1) == 1;
    }
    bool Ok = false;

private:
    int FEnds[2] = {-1, -1};
};

class SessionEnd : public GameTest {
protected:
    // Runs the game's message loop in a child until Signal ends it, sent once Ready is told by
    // Started (run from the loop). Returns the child's exit code: what Check returns, given the
    // exit status that the end gave, once the run has ended as the entry point ends it.
    int RunUntilSignalled(int Signal, const std::function<void(const TReadyPipe&)>& Started,
                          const std::function<int(int)>& Check)
    {
        TReadyPipe Ready;
        if (!Ready.Ok)
            return -2000;
        const pid_t Child = StartChild([&] {
            TSessionEnd Ending(Form.get());
            Form->show();
            QTimer::singleShot(0, Form.get(), [&] { Started(Ready); });
            QCoreApplication::exec();
            return Check(Ending.Finish());
        });
        if (!Ready.Wait())
            return -3000;
        kill(Child, Signal);
        return WaitForChild(Child);
    }

    // Starts a copy of the game in a child that takes the table the state file holds now, as a
    // copy started now would, adds Score to it and waits in its message loop for a signal. Returns
    // the child once it is there; it ends with the exit status of the run's end.
    pid_t StartCopy(int Score, const char* Name)
    {
        TReadyPipe Ready;
        if (!Ready.Ok)
            return -1;
        const pid_t Child = StartChild([&] {
            LoadStateBlock(StatePath(), Form->StateBlock());
            const int Index = InsertBestScore(Form->StateBlock().FBestScores, Score, QDate(2026, 12, 9));
            if (Index >= 0)
                WriteNameField(Form->StateBlock().FBestScores[Index].Name, Name);
            TSessionEnd Ending(Form.get());
            Form->show();
            QTimer::singleShot(0, Form.get(), [&] { Ready.Tell(); });
            QCoreApplication::exec();
            return Ending.Finish() == 0 && Shown.Messages.isEmpty() ? 0 : 2;
        });
        return Ready.Wait() ? Child : -1;
    }

    TStateBlock Saved()
    {
        TStateBlock Block;
        LoadStateBlock(StatePath(), Block);
        return Block;
    }
};

} // namespace

TEST_F(SessionEnd, TerminationSignalsSaveTheStateAsTheCloseDoesAndEndTheRun)
{
    for (const int Signal : {SIGTERM, SIGHUP, SIGINT}) {
        SCOPED_TRACE(strsignal(Signal));
        QFile::remove(StatePath());
        InsertBestScore(Form->StateBlock().FBestScores, 620, QDate(2026, 12, 9));
        WriteNameField(Form->StateBlock().FBestScores[0].Name, "Ann");
        WriteNameField(Form->StateBlock().FLastPlayerName, "Ann");
        Form->move(120, 40);
        const int Outcome = RunUntilSignalled(
            Signal, [](const TReadyPipe& Ready) { Ready.Tell(); },
            [&](int Status) { return Status == 0 && !Form->isVisible() && Shown.Messages.isEmpty() ? 0 : 2; });
        EXPECT_EQ(Outcome, 0);
        const TStateBlock Block = Saved();
        EXPECT_EQ(Block.FBestScores[0].Score, 620);
        EXPECT_EQ(ReadNameField(Block.FBestScores[0].Name), "Ann");
        EXPECT_EQ(ReadNameField(Block.FLastPlayerName), "Ann");
        EXPECT_EQ(QPoint(Block.FSavedLeft, Block.FSavedTop), Form->pos());
    }
}

// The modal loop of the name entry ends first, so the name typed so far is stored and saved.
TEST_F(SessionEnd, ASignalDuringTheNameEntryKeepsTheNameTypedSoFar)
{
    const int Outcome = RunUntilSignalled(
        SIGTERM,
        [&](const TReadyPipe& Ready) {
            Modals.OnModal = [&](QWidget* Dialog) {
                QTest::keyClicks(Dialog->findChild<QLineEdit*>(), "Eve");
                Ready.Tell();
            };
            Play();
            Form->SetScore(92);
            Form->Execute(Form->aStop);
        },
        [&](int Status) { return Status == 0 && !Form->isVisible() ? 0 : 2; });
    EXPECT_EQ(Outcome, 0);
    const TStateBlock Block = Saved();
    EXPECT_EQ(Block.FBestScores[0].Score, 92);
    EXPECT_EQ(ReadNameField(Block.FBestScores[0].Name), "Eve");
    EXPECT_EQ(ReadNameField(Block.FLastPlayerName), "Eve");
}

// Nobody is there to click a message box at a signal: the failure goes to standard error and the
// exit status, and the run ends.
TEST_F(SessionEnd, AFailedSaveAtASignalIsReportedWithoutAMessageBoxAndTheRunStillEnds)
{
    SetStateFileName(Folder.filePath("no-such-folder/Zorvik.dat"));
    const int Outcome = RunUntilSignalled(
        SIGTERM, [](const TReadyPipe& Ready) { Ready.Tell(); },
        [&](int Status) { return Status == 1 && Shown.Messages.isEmpty() && !Form->isVisible() ? 0 : 2; });
    EXPECT_EQ(Outcome, 0);
}

TEST_F(SessionEnd, TheSessionManagersRequestSavesAndTheWindowStays)
{
    auto* Manager = qApp->findChild<QSessionManager*>();
    ASSERT_NE(Manager, nullptr);
    struct sigaction Before{}, During{}, After{};
    sigaction(SIGTERM, nullptr, &Before);
    auto Ending = std::make_unique<TSessionEnd>(Form.get());
    sigaction(SIGTERM, nullptr, &During);
    EXPECT_NE(During.sa_handler, Before.sa_handler);
    Form->show();
    Form->move(30, 60);
    InsertBestScore(Form->StateBlock().FBestScores, 64, QDate(2026, 12, 9));
    emit qApp->commitDataRequest(*Manager);
    TStateBlock Block = Saved();
    EXPECT_EQ(Block.FBestScores[0].Score, 64);
    EXPECT_EQ(QPoint(Block.FSavedLeft, Block.FSavedTop), QPoint(30, 60));
    EXPECT_TRUE(Form->isVisible());

    // A save that fails then cannot be shown without the session manager's leave, and the window
    // stays to try again at its close.
    SetStateFileName(Folder.filePath("no-such-folder/Zorvik.dat"));
    emit qApp->commitDataRequest(*Manager);
    EXPECT_TRUE(Shown.Messages.isEmpty());
    EXPECT_TRUE(Form->isVisible());

    // Once the program no longer holds the signals, their handling is the one before.
    Ending.reset();
    sigaction(SIGTERM, nullptr, &After);
    EXPECT_EQ(After.sa_handler, Before.sa_handler);
}

// A logout or a closed terminal signals every copy at once, often more than once. Each copy started
// on another table (the file replaced between the starts, as another program's save would), and
// each save finds the others' records in the file, waiting where another copy holds it.
TEST_F(SessionEnd, CopiesSignalledTogetherKeepTheRecordsOfAll)
{
    struct TCase {
        int Copies;
        int Signals;
    };
    for (const TCase Case : {TCase{1, 2}, TCase{2, 1}, TCase{3, 1}, TCase{3, 5}}) {
        SCOPED_TRACE(testing::Message() << Case.Copies << " copies, " << Case.Signals << " signals each");
        TStateBlock Start{};
        InsertBestScore(Start.FBestScores, 5, QDate(2026, 1, 1));
        WriteNameField(Start.FBestScores[0].Name, "First");
        std::vector<pid_t> Children;
        for (int I = 0; I < Case.Copies; ++I) {
            // Each copy starts on a file of its own: the last one replaced it by a rename.
            const QString Next = Folder.filePath("next.dat");
            WriteNameField(Start.FBestScores[1].Name, "Shared" + QString::number(I));
            Start.FBestScores[1].Score = 1;
            QFile File(Next);
            ASSERT_TRUE(File.open(QIODevice::WriteOnly));
            ASSERT_EQ(File.write(reinterpret_cast<const char*>(&Start), sizeof Start), qint64(sizeof Start));
            File.close();
            ASSERT_EQ(std::rename(QFile::encodeName(Next).constData(), QFile::encodeName(StatePath()).constData()), 0);
            const pid_t Child = StartCopy(100 * (I + 1), qPrintable("Copy" + QString::number(I)));
            ASSERT_GT(Child, 0);
            Children.push_back(Child);
        }
        QElapsedTimer Clock;
        Clock.start();
        for (int Signal = 0; Signal < Case.Signals; ++Signal) {
            for (const pid_t Child : Children)
                kill(Child, SIGTERM);
            if (Signal + 1 < Case.Signals)
                usleep(1000);
        }
        for (const pid_t Child : Children)
            EXPECT_EQ(WaitForChild(Child), 0);
        EXPECT_LT(Clock.elapsed(), SaveWait.count() + 2000) << "each copy ends within the bounded wait";

        const TStateBlock Block = Saved();
        QStringList Names;
        for (const TBestScore& Record : Block.FBestScores)
            if (Record.Score > 0)
                Names << ReadNameField(Record.Name) + ":" + QString::number(Record.Score);
        QStringList Expected;
        for (int I = Case.Copies - 1; I >= 0; --I)
            Expected << "Copy" + QString::number(I) + ":" + QString::number(100 * (I + 1));
        Expected << "First:5";
        // The record that only the files between the starts held is each copy's own.
        for (int I = 0; I < Case.Copies; ++I)
            Expected << "Shared" + QString::number(I) + ":1";
        // The records of equal score and date rank in the order the copies happened to save.
        Names.sort();
        Expected.sort();
        EXPECT_EQ(Names.join(u' ').toStdString(), Expected.join(u' ').toStdString());
        QFile::remove(StatePath());
    }
}
