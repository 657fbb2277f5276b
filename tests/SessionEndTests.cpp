#include "ChildProcess.h"
#include "GameFixture.h"

#include "app/SessionEnd.h"

#include <QLineEdit>
#include <QSessionManager>
#include <QTest>

#include <csignal>
#include <memory>

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
