#include "game/ZorvikFrm.h"

#include "app/Loadresstring.h"
#include "framework/Actions.h"
#include "framework/Application.h"
#include "framework/ApplicationEvents.h"
#include "framework/Controls.h"
#include "framework/PaintBox.h"
#include "framework/Random.h"
#include "framework/Shell.h"
#include "framework/VirtualKeys.h"
#include "scores/BestScoresFrm.h"

#include <QAction>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QTimer>

#include <algorithm>

TZorvikForm* ZorvikForm = nullptr;

namespace {

enum : unsigned { STitle = 2001, SPausedSuffix = 2002, SGameOverSuffix = 2003 };

// Loaded once while the main window is constructed; the base of every caption.
QString TitleText;

} // namespace

TZorvikForm::TZorvikForm(QWidget* Parent) : TForm(Parent)
{
    ::ZorvikForm = this;
    setupUi(this);
    Loaded();

    // A timer and the application's events are not widgets, so the description cannot hold them.
    Timer = new QTimer(this);
    Timer->setObjectName(QStringLiteral("Timer"));
    Timer->setInterval(StepInterval);
    // A coarse timer may fire up to 5% early, which shortens every step.
    Timer->setTimerType(Qt::PreciseTimer);
    connect(Timer, &QTimer::timeout, this, &TZorvikForm::TimerTimer);
    ApplicationEvents = new TApplicationEvents(this);
    ApplicationEvents->setObjectName(QStringLiteral("ApplicationEvents"));
    connect(ApplicationEvents, &TApplicationEvents::Deactivate, this, &TZorvikForm::ApplicationEventsDeactivate);
    connect(ApplicationEvents, &TApplicationEvents::Minimize, this, &TZorvikForm::ApplicationEventsDeactivate);

    TitleText = LoadResString(STitle);
    TApplication::SetTitle(TitleText);
    setWindowTitle(TitleText);

    LoadState();

    pbGlass->setFixedSize(GlassCols * CellSize, GlassRows * CellSize);
    // A damaged file may hold any position; one past what a window's rectangle can hold would
    // overflow it, so the position is held within the largest window size either way.
    const auto OnScreenScale = [](std::int32_t Value) { return std::clamp(Value, -QWIDGETSIZE_MAX, QWIDGETSIZE_MAX); };
    move(OnScreenScale(FStateBlock.FSavedLeft), OnScreenScale(FStateBlock.FSavedTop));
    SetFixedClientSize(pbGlass->width() + Panel->width(), pbGlass->height());
    Panel->setGeometry(width() - Panel->width(), 0, Panel->width(), height());

    Randomize();
    FRunning = false;
    FPaused = false;
    PickNextPiece();
    FStepLength = InitialStepLength;
}

TZorvikForm::~TZorvikForm() = default;

void TZorvikForm::ShowCaption(const QString& Suffix)
{
    setWindowTitle(TitleText + Suffix);
}

void TZorvikForm::aPlayExecute(QObject*)
{
    FRunning = true;
    if (!FPaused)
        NewGame();
    ShowCaption(QString());
    FPaused = false;
    Timer->start();
}

void TZorvikForm::aPauseExecute(QObject*)
{
    FPaused = true;
    Timer->stop();
    ShowCaption(LoadResString(SPausedSuffix));
}

void TZorvikForm::aStopExecute(QObject*)
{
    FRunning = false;
    FPaused = false;
    Timer->stop();
    ShowCaption(LoadResString(SGameOverSuffix));
    const int Index = InsertBestScore(FStateBlock.FBestScores, FScore, QDate::currentDate());
    if (Index >= 0)
        BestScoresForm->EnterName(FStateBlock.FBestScores[Index]);
}

void TZorvikForm::aBestScoresExecute(QObject*)
{
    BestScoresForm->exec();
}

void TZorvikForm::aPlayUpdate(QObject* Sender)
{
    static_cast<QAction*>(Sender)->setEnabled(!FRunning || FPaused);
}

void TZorvikForm::aPauseUpdate(QObject* Sender)
{
    static_cast<QAction*>(Sender)->setEnabled(FRunning && !FPaused);
}

void TZorvikForm::aStopUpdate(QObject* Sender)
{
    static_cast<QAction*>(Sender)->setEnabled(FRunning);
}

void TZorvikForm::FormKeyDown(QObject*, int& Key, Qt::KeyboardModifiers)
{
    if (!FRunning || FPaused)
        return;
    switch (Key) {
    case VK_LEFT:
    case VK_NUMPAD0 + 4:
        TryMove(-1, 0, 0);
        break;
    case VK_RIGHT:
    case VK_NUMPAD0 + 6:
        TryMove(1, 0, 0);
        break;
    case VK_END:
    case VK_NUMPAD0 + 1:
        TryMove(0, 0, 1);
        break;
    case VK_NEXT:
    case VK_NUMPAD0 + 3:
    case VK_CLEAR:
    case VK_NUMPAD0 + 5:
        TryMove(0, 0, -1);
        break;
    case VK_DOWN:
    case VK_NUMPAD0 + 2:
        SoftStep();
        break;
    case VK_SPACE:
        HardDrop();
        break;
    case VK_PAUSE:
    case VK_ESCAPE:
        Execute(aPause);
        break;
    default:
        return;
    }
    Key = 0;
}

bool PlatformReportsWindowPosition(const QString& PlatformName)
{
    return !PlatformName.startsWith(QLatin1String("wayland"));
}

void TZorvikForm::FormCloseQuery(QObject*, bool&)
{
    // A made-up position would put the window off the screen at the next start elsewhere: the one
    // saved before stays.
    if (PlatformReportsWindowPosition(QGuiApplication::platformName())) {
        FStateBlock.FSavedLeft = x();
        FStateBlock.FSavedTop = y();
    }
    SaveState();
}

void TZorvikForm::TimerTimer()
{
    Guarded([this] { Tick(); });
}

void TZorvikForm::ApplicationEventsDeactivate(QObject*)
{
    Execute(aPause);
}

void TZorvikForm::DrawGlassCell(int Col, int Row)
{
    pbGlass->Canvas().Rectangle(Col * CellSize, Row * CellSize, Col * CellSize + CellSize, Row * CellSize + CellSize);
}

void TZorvikForm::PaintRows(int First, int Last)
{
    TCanvas& Canvas = pbGlass->Canvas();
    Canvas.Pen.Color = CellPenColor;
    for (int Row = Last; Row >= First; --Row)
        for (int Col = 0; Col < GlassCols; ++Col) {
            Canvas.Brush.Color = CellColors[Cell(Col, Row)];
            DrawGlassCell(Col, Row);
        }
}

void TZorvikForm::DrawPiece(int ColorIndex)
{
    if (!FPiece)
        return;
    TCanvas& Canvas = pbGlass->Canvas();
    Canvas.Brush.Color = CellColors[ColorIndex];
    Canvas.Pen.Color = CellPenColor;
    for (const TPieceCell& C : *FRotation)
        DrawGlassCell(FCol + C.Col, FRow + C.Row);
}

void TZorvikForm::pbGlassPaint(QObject*)
{
    PaintRows(0, GlassRows - 1);
    DrawPiece(1);
}

void TZorvikForm::pbNextPaint(QObject*)
{
    TCanvas& Canvas = pbNext->Canvas();
    const int Width = pbNext->width();
    const int Height = pbNext->height();
    Canvas.Brush.Color = CellColors[0];
    Canvas.Pen.Color = CellPenColor;
    Canvas.FillRect(QRect(0, 0, Width, Height));
    for (int I = 1; I < NextBoxCells; ++I) {
        Canvas.MoveTo(0, I * CellSize);
        Canvas.LineTo(Width, I * CellSize);
    }
    for (int I = 1; I < NextBoxCells; ++I) {
        Canvas.MoveTo(I * CellSize, 0);
        Canvas.LineTo(I * CellSize, Height);
    }
    if (!FNextRotation)
        return;
    Canvas.Brush.Color = CellColors[1];
    const int Centre = NextBoxCells / 2;
    for (const TPieceCell& C : *FNextRotation)
        Canvas.Rectangle((C.Col + Centre) * CellSize, (C.Row + Centre) * CellSize, (C.Col + Centre + 1) * CellSize,
                         (C.Row + Centre + 1) * CellSize);
}

void TZorvikForm::URLLabelClick()
{
    Guarded([this] {
        auto* Control = qobject_cast<QWidget*>(sender());
        if (!Control)
            return;
        // The read-me page is named relative to the current folder; a game started from
        // elsewhere finds it beside the executable, or in the data folder it was installed with.
        const QString Programs = QCoreApplication::applicationDirPath();
        ShellOpen(ShellUrl(Control->toolTip(), {Programs, Programs + QStringLiteral("/../share/zorvik")}));
    });
}
