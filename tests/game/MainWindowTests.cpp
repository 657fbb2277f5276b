#include "GameFixture.h"

#include "framework/Actions.h"
#include "framework/Controls.h"
#include "framework/VirtualKeys.h"

#include <QFrame>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QLabel>
#include <QTest>
#include <QToolTip>

namespace {

struct TEnabled {
    bool Play, Pause, Stop, BestScores;
    bool operator==(const TEnabled& O) const
    {
        return Play == O.Play && Pause == O.Pause && Stop == O.Stop && BestScores == O.BestScores;
    }
};

std::ostream& operator<<(std::ostream& Out, const TEnabled& E)
{
    return Out << "Play " << E.Play << " Pause " << E.Pause << " Stop " << E.Stop << " Best " << E.BestScores;
}

class MainWindow : public GameTest {
protected:
    TEnabled Enabled()
    {
        Form->ActionList()->UpdateActions();
        return {Form->aPlay->isEnabled(), Form->aPause->isEnabled(), Form->aStop->isEnabled(),
                Form->aBestScores->isEnabled()};
    }

    void ShowActive()
    {
        Form->show();
        Form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Form.get()));
        Form->btnPlay->setFocus();
        QCoreApplication::processEvents();
    }

    // Sends a key to the focused control as the keyboard would.
    void Press(Qt::Key Key, Qt::KeyboardModifiers Modifiers = Qt::NoModifier)
    {
        QTest::keyClick(static_cast<QWidget*>(QApplication::focusWidget()), Key, Modifiers);
    }

    // Collects what the glass asks to show again from now on.
    void WatchGlass()
    {
        Updated = QRegion();
        Form->pbGlass->OnUpdateRect = [this](const QRect& Rect) { Updated += Rect; };
    }

    QRegion Updated;
};

// Records the keys that reach the focused control, whichever control has the focus.
class TKeyRecorder : public QObject {
public:
    explicit TKeyRecorder(QWidget* Window)
    {
        for (QWidget* Child : Window->findChildren<QWidget*>())
            Child->installEventFilter(this);
    }
    QList<int> Keys;

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override
    {
        if (Event->type() == QEvent::KeyPress && Watched == QApplication::focusWidget())
            Keys << static_cast<QKeyEvent*>(Event)->key();
        return false;
    }
};

QRect CellRect(int Col, int Row)
{
    return QRect(Col * CellSize, Row * CellSize, CellSize, CellSize);
}

QRegion PieceRegion(const TZorvikForm& Form)
{
    QRegion Region;
    for (const TPieceCell& C : *Form.Rotation())
        Region += CellRect(Form.Col() + C.Col, Form.Row() + C.Row);
    return Region;
}

constexpr QRgb EmptyRgb = 0x004000;
constexpr QRgb FilledRgb = 0xE0E000;
constexpr QRgb PenRgb = 0x003000;

} // namespace

using GameControl = MainWindow;
using KeyMap = MainWindow;
using Painting = MainWindow;
using Layout = MainWindow;

TEST_F(Layout, TheWindowOpensAtTheSavedPlaceWithAClientAreaOf405By432)
{
    EXPECT_EQ(Form->size(), QSize(405, 432));
    EXPECT_EQ(Form->pos(), QPoint(0, 0));
    EXPECT_EQ(Form->pbGlass->geometry(), QRect(0, 0, 256, 432));
    EXPECT_EQ(Form->Panel->geometry(), QRect(256, 0, 149, 432));
    EXPECT_EQ(Form->pbNext->geometry(), QRect(59, 132, 80, 80));
    EXPECT_EQ(Form->btnPlay->geometry(), QRect(13, 13, 26, 26));
    EXPECT_EQ(Form->btnBestScores->geometry(), QRect(27, 237, 102, 24));
    EXPECT_EQ(Form->lblOpenWeb->geometry(), QRect(33, 403, 82, 13));
    EXPECT_EQ(Form->windowTitle(), "Zorvik");
    EXPECT_EQ(TApplication::Title(), "Zorvik");
    EXPECT_FALSE(Form->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(Form->minimumSize(), Form->maximumSize());
}

TEST_F(Layout, ButtonsCarryTheirActionsHintsAndGlyphs)
{
    EXPECT_EQ(Form->btnPlay->defaultAction(), Form->aPlay);
    EXPECT_EQ(Form->btnPlay->toolTip(), "Start / continue");
    EXPECT_EQ(Form->btnPause->toolTip(), "Pause");
    EXPECT_EQ(Form->btnStop->toolTip(), "Stop");
    EXPECT_FALSE(Form->btnStop->icon().isNull());
    EXPECT_EQ(Form->btnBestScores->text(), "Best scores...");
    EXPECT_EQ(Form->btnReadMe->toolTip(), "readme_en.htm");
    EXPECT_EQ(Form->btnBestScores->toolTip(), "") << "an action without a hint gives no tooltip";
    EXPECT_EQ(Form->aPlay->shortcut(), QKeySequence(Qt::Key_F2));
    EXPECT_EQ(Form->aPause->shortcut(), QKeySequence(Qt::Key_Escape));
    EXPECT_EQ(Form->aStop->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));
    EXPECT_TRUE(Form->lblMailTo->toolTip().startsWith("mailto:"));
    EXPECT_TRUE(Form->lblMailTo->toolTip().endsWith("subject=Zorvik"));
    // A button keeps its own hint when its action changes.
    Form->aPlay->setEnabled(false);
    EXPECT_EQ(Form->btnPlay->toolTip(), "Start / continue");
    EXPECT_FALSE(Form->btnPlay->isEnabled());
}

// The links are red; their tooltips keep the tooltip colours.
TEST_F(Layout, TheLinksRedDoesNotReachTheirTooltips)
{
    ShowActive();
    const auto Reds = [](const QImage& Image) {
        int Count = 0;
        for (int Y = 0; Y < Image.height(); ++Y)
            for (int X = 0; X < Image.width(); ++X)
                Count += PixelAt(Image, X, Y) == 0xFF0000u;
        return Count;
    };
    EXPECT_GT(Reds(Form->lblMailTo->grab().toImage()), 0);
    QToolTip::showText(Form->lblMailTo->mapToGlobal(QPoint(4, 4)), Form->lblMailTo->toolTip(), Form->lblMailTo);
    QWidget* Tip = nullptr;
    for (QWidget* Widget : QApplication::topLevelWidgets())
        if (Widget->inherits("QTipLabel") && Widget->isVisible())
            Tip = Widget;
    ASSERT_NE(Tip, nullptr);
    EXPECT_EQ(Reds(Tip->grab().toImage()), 0);
    QToolTip::hideText();
}

TEST_F(GameControl, TheFourStatesEnableTheActionsAndSetTheCaption)
{
    EXPECT_EQ(Enabled(), (TEnabled{true, false, false, true}));
    EXPECT_FALSE(Form->Timer->isActive());

    Play();
    EXPECT_EQ(Enabled(), (TEnabled{false, true, true, false}));
    EXPECT_EQ(Form->windowTitle(), "Zorvik");
    EXPECT_TRUE(Form->Timer->isActive());
    EXPECT_EQ(Form->Timer->interval(), 110);

    ASSERT_TRUE(Form->Execute(Form->aPause));
    EXPECT_EQ(Enabled(), (TEnabled{true, false, true, true}));
    EXPECT_EQ(Form->windowTitle(), "Zorvik - paused. Press F2 to continue");
    EXPECT_FALSE(Form->Timer->isActive());
    EXPECT_EQ(TApplication::Title(), "Zorvik");

    ASSERT_TRUE(Form->Execute(Form->aStop));
    EXPECT_EQ(Enabled(), (TEnabled{true, false, false, true}));
    EXPECT_EQ(Form->windowTitle(), "Zorvik - game over");
    EXPECT_FALSE(Form->Timer->isActive());
}

TEST_F(GameControl, PlayAfterPauseContinuesTheSameGame)
{
    Play();
    Form->SetScore(77);
    const TPiece* Piece = Form->Piece();
    const int Row = Form->Row();
    ASSERT_TRUE(Form->Execute(Form->aPause));
    EXPECT_FALSE(Form->Execute(Form->aPause));
    Play();
    EXPECT_EQ(Form->Score(), 77);
    EXPECT_EQ(Form->Piece(), Piece);
    EXPECT_EQ(Form->Row(), Row);
    EXPECT_EQ(Form->windowTitle(), "Zorvik");
}

TEST_F(GameControl, StopWhilePausedEndsTheGameAndPlayStartsANewOne)
{
    Play();
    Form->SetScore(5);
    Form->Execute(Form->aPause);
    ASSERT_TRUE(Form->Execute(Form->aStop));
    EXPECT_EQ(Form->windowTitle(), "Zorvik - game over");
    EXPECT_EQ(Form->Score(), 5);
    Play();
    EXPECT_EQ(Form->Score(), 0);
}

TEST_F(GameControl, TheTimerStepsThePieceDown)
{
    // A coarse timer would come early and shorten each step.
    EXPECT_EQ(Form->Timer->timerType(), Qt::PreciseTimer);
    Play();
    const int Row = Form->Row();
    for (int Tick = 0; Tick < 10; ++Tick)
        Form->TimerTimer();
    EXPECT_EQ(Form->Row(), Row + 1);
}

TEST_F(GameControl, MinimisingOrLeavingTheApplicationPausesARunningGame)
{
    ShowActive();
    Play();
    Form->showMinimized();
    EXPECT_TRUE(Form->Paused());
    EXPECT_FALSE(Form->Timer->isActive());
    Form->showNormal();
    EXPECT_TRUE(Form->Paused());

    Play();
    emit qGuiApp->applicationStateChanged(Qt::ApplicationInactive);
    EXPECT_TRUE(Form->Paused());
    emit qGuiApp->applicationStateChanged(Qt::ApplicationActive);
    EXPECT_TRUE(Form->Paused());
}

TEST_F(GameControl, LeavingWithoutARunningGameChangesNothing)
{
    emit qGuiApp->applicationStateChanged(Qt::ApplicationInactive);
    EXPECT_FALSE(Form->Paused());
    EXPECT_EQ(Form->windowTitle(), "Zorvik");
    emit qGuiApp->applicationStateChanged(Qt::ApplicationActive);
}

TEST_F(GameControl, ClosingWritesNothingAndNeverRefuses)
{
    ShowActive();
    Play();
    EXPECT_TRUE(Form->close());
    EXPECT_TRUE(Form->Running());
}

TEST_F(KeyMap, ArrowsAndKeypadMoveTurnAndDropTheRunningPiece)
{
    ShowActive();
    Form->PlaceNextPiece(1, 0);
    Play();
    Press(Qt::Key_Left);
    EXPECT_EQ(Form->Col(), 7);
    Press(Qt::Key_6, Qt::KeypadModifier);
    EXPECT_EQ(Form->Col(), 8);
    Press(Qt::Key_4, Qt::KeypadModifier);
    EXPECT_EQ(Form->Col(), 7);
    Press(Qt::Key_Right);
    EXPECT_EQ(Form->Col(), 8);
    Press(Qt::Key_End);
    EXPECT_EQ(Form->RotationIndex(), 1);
    Press(Qt::Key_1, Qt::KeypadModifier);
    EXPECT_EQ(Form->RotationIndex(), 2);
    Press(Qt::Key_PageDown);
    EXPECT_EQ(Form->RotationIndex(), 1);
    Press(Qt::Key_3, Qt::KeypadModifier);
    EXPECT_EQ(Form->RotationIndex(), 0);
    Press(Qt::Key_5, Qt::KeypadModifier);
    EXPECT_EQ(Form->RotationIndex(), 3);
    Press(Qt::Key_Clear, Qt::KeypadModifier);
    EXPECT_EQ(Form->RotationIndex(), 2);
    const int Row = Form->Row();
    Press(Qt::Key_Down);
    EXPECT_EQ(Form->Row(), Row + 1);
    Press(Qt::Key_2, Qt::KeypadModifier);
    EXPECT_EQ(Form->Row(), Row + 2);
    Press(Qt::Key_Up);
    Press(Qt::Key_8, Qt::KeypadModifier);
    Press(Qt::Key_Home);
    EXPECT_EQ(Form->Row(), Row + 2);
    EXPECT_EQ(Form->Col(), 8);
    EXPECT_EQ(Form->RotationIndex(), 2);
    Press(Qt::Key_Space);
    EXPECT_GT(FilledCells(), 0);
}

TEST_F(KeyMap, KeysAreSwallowedOnlyWhileAGameRunsUnpaused)
{
    ShowActive();
    TKeyRecorder Recorder(Form.get());

    Press(Qt::Key_Left);
    EXPECT_EQ(Recorder.Keys, QList<int>{Qt::Key_Left});

    Play();
    Recorder.Keys.clear();
    Press(Qt::Key_Left);
    Press(Qt::Key_Right);
    Press(Qt::Key_Up);
    EXPECT_EQ(Recorder.Keys, QList<int>{Qt::Key_Up});

    // Esc is the shortcut of Pause: it pauses, and while paused it reaches the button.
    Press(Qt::Key_Escape);
    EXPECT_TRUE(Form->Paused());
    Recorder.Keys.clear();
    Press(Qt::Key_Escape);
    Press(Qt::Key_Left);
    EXPECT_EQ(Recorder.Keys, (QList<int>{Qt::Key_Escape, Qt::Key_Left}));
    EXPECT_TRUE(Form->Paused());
}

TEST_F(KeyMap, ShortcutsDriveTheGameAndF2DuringAGameDoesNothing)
{
    ShowActive();
    Press(Qt::Key_F2);
    EXPECT_TRUE(Form->Running());
    Form->SetScore(3);
    Press(Qt::Key_F2);
    EXPECT_EQ(Form->Score(), 3);
    EXPECT_TRUE(Form->Running());
    Press(Qt::Key_Pause);
    EXPECT_TRUE(Form->Paused());
    Press(Qt::Key_F2);
    EXPECT_FALSE(Form->Paused());
    EXPECT_EQ(Form->Score(), 3);
    Press(Qt::Key_P, Qt::ControlModifier);
    EXPECT_FALSE(Form->Running());
    EXPECT_EQ(Form->windowTitle(), "Zorvik - game over");
}

TEST_F(KeyMap, TheButtonsRunTheirActions)
{
    ShowActive();
    QTest::mouseClick(Form->btnPlay, Qt::LeftButton);
    EXPECT_TRUE(Form->Running());
    QTest::mouseClick(Form->btnPause, Qt::LeftButton);
    EXPECT_TRUE(Form->Paused());
    QTest::mouseClick(Form->btnStop, Qt::LeftButton);
    EXPECT_FALSE(Form->Running());
}

TEST_F(Painting, AnEmptyGlassCellAndAFallingPieceCell)
{
    Form->PlaceNextPiece(11, 0);
    Play();
    const QImage Glass = Form->pbGlass->grab().toImage();
    EXPECT_EQ(PixelAt(Glass, 0, 0), PenRgb);
    EXPECT_EQ(PixelAt(Glass, 15, 15), PenRgb);
    EXPECT_EQ(PixelAt(Glass, 15, 7), PenRgb);
    EXPECT_EQ(PixelAt(Glass, 16, 16), PenRgb);
    EXPECT_EQ(PixelAt(Glass, 1, 1), EmptyRgb);
    EXPECT_EQ(PixelAt(Glass, 14, 14), EmptyRgb);
    // The X enters with its centre at column 8, row 2.
    EXPECT_EQ(PixelAt(Glass, 8 * 16 + 8, 2 * 16 + 8), FilledRgb);
    EXPECT_EQ(PixelAt(Glass, 8 * 16, 2 * 16 + 8), PenRgb);
    EXPECT_EQ(PixelAt(Glass, 8 * 16 + 8, 1 * 16 + 8), FilledRgb);
    EXPECT_EQ(PixelAt(Glass, 7 * 16 + 8, 1 * 16 + 8), EmptyRgb);
}

TEST_F(Painting, ThePreviewShowsTheNextPieceOnAGrid)
{
    Form->PlaceNextPiece(11, 0);
    const QImage Next = Form->pbNext->grab().toImage();
    EXPECT_EQ(PixelAt(Next, 0, 0), EmptyRgb);
    EXPECT_EQ(PixelAt(Next, 5, 16), PenRgb);
    EXPECT_EQ(PixelAt(Next, 79, 16), PenRgb);
    EXPECT_EQ(PixelAt(Next, 16, 79), PenRgb);
    EXPECT_EQ(PixelAt(Next, 79, 79), EmptyRgb);
    // The X's centre is the centre cell; its arms reach the cells around it.
    EXPECT_EQ(PixelAt(Next, 40, 40), FilledRgb);
    EXPECT_EQ(PixelAt(Next, 40, 24), FilledRgb);
    EXPECT_EQ(PixelAt(Next, 24, 24), EmptyRgb);
    EXPECT_EQ(PixelAt(Next, 32, 40), PenRgb);
}

TEST_F(Painting, AMoveRedrawsOnlyTheTenCellsOfItsOldAndNewPlace)
{
    Form->PlaceNextPiece(0, 0);
    Play();
    WatchGlass();
    const QRegion Before = PieceRegion(*Form);
    ASSERT_TRUE(Form->TryMove(0, 1, 0));
    EXPECT_EQ(Updated, Before + PieceRegion(*Form));
    WatchGlass();
    EXPECT_FALSE(Form->TryMove(-7, 0, 0));
    EXPECT_TRUE(Updated.isEmpty());
}

TEST_F(Painting, AFixThatRemovesRowsRedrawsRowsZeroToTheLowestRemoved)
{
    Play();
    WatchGlass();
    FillRow(20, {6, 7, 8, 9, 10});
    Form->SetCell(0, 21, 1);
    Form->PlacePiece(0, 0, 8, 20);
    Form->PlaceNextPiece(0, 0);
    Form->FixPiece();
    EXPECT_EQ(Form->Rows(), 1);
    // The next piece enters too, inside the band.
    EXPECT_EQ(Updated, QRegion(0, 0, 256, 21 * 16));

    // Without a removed row only the next piece's entry is drawn.
    WatchGlass();
    Form->PlacePiece(0, 0, 8, 26);
    Form->FixPiece();
    EXPECT_EQ(Updated, PieceRegion(*Form));
}

TEST_F(Painting, ANewGameRepaintsTheWholeGlass)
{
    WatchGlass();
    Play();
    EXPECT_EQ(Updated, QRegion(Form->pbGlass->rect()));
}

// The window system asks for the glass again (uncovered, restored, shown again): the whole
// picture is drawn, the piece that did not fit included.
TEST_F(Painting, AFullPaintAfterAGameOverShowsThePieceThatDidNotFit)
{
    Form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
    Play();
    QCoreApplication::processEvents();
    FillRow(2, {0});
    Form->PlaceNextPiece(11, 0);
    Form->SpawnPiece();
    ASSERT_FALSE(Form->Running());
    QCoreApplication::processEvents();
    const QPoint Arm(8 * 16 + 8, 1 * 16 + 8);
    EXPECT_EQ(PixelAt(Form->pbGlass->grab().toImage(), Arm.x(), Arm.y()), FilledRgb);
    Form->hide();
    Form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
    EXPECT_EQ(PixelAt(Form->pbGlass->grab().toImage(), Arm.x(), Arm.y()), FilledRgb);
    // Row 2 was filled where the piece's centre would be; column 0 stays empty.
    EXPECT_EQ(PixelAt(Form->pbGlass->grab().toImage(), 8, 2 * 16 + 8), EmptyRgb);
}

namespace {
// Stands in for the desktop: receives what the program asks it to open.
class TDesktop : public QObject {
    Q_OBJECT

public:
    TDesktop()
    {
        for (const char* Scheme : {"file", "https", "mailto"})
            QDesktopServices::setUrlHandler(Scheme, this, "Open");
    }
    ~TDesktop() override
    {
        for (const char* Scheme : {"file", "https", "mailto"})
            QDesktopServices::unsetUrlHandler(Scheme);
    }
    QList<QUrl> Opened;

public slots:
    void Open(const QUrl& Url) { Opened << Url; }
};
} // namespace

TEST_F(Layout, TheLinksAndTheReadMeButtonOpenTheirHintWithTheDesktop)
{
    ShowActive();
    TDesktop Desktop;
    // The page is opened from the current folder when it is there.
    QTemporaryDir Current;
    const QString Previous = QDir::currentPath();
    QDir::setCurrent(Current.path());
    QFile(Current.filePath("readme_en.htm")).open(QIODevice::WriteOnly);
    QTest::mouseClick(Form->lblMailTo, Qt::LeftButton);
    QTest::mouseClick(Form->lblOpenWeb, Qt::LeftButton);
    QTest::mouseClick(Form->btnReadMe, Qt::LeftButton);
    ASSERT_EQ(Desktop.Opened.size(), 3);
    EXPECT_EQ(Desktop.Opened[0].toString(), "mailto:team@zorvik.example?subject=Zorvik");
    EXPECT_EQ(Desktop.Opened[1].toString(), "https://zorvik.example/");
    EXPECT_EQ(Desktop.Opened[2], QUrl::fromLocalFile(Current.filePath("readme_en.htm")));
    QDir::setCurrent(Previous);
}

#include "MainWindowTests.moc"
