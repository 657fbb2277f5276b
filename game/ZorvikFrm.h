#pragma once

#include "framework/Colors.h"
#include "framework/Form.h"
#include "game/Pieces.h"
#include "scores/BestScores.h"
#include "ui_ZorvikFrm.h"

#include <array>
#include <cstdint>

class QTimer;
class TApplicationEvents;

constexpr int GlassCols = 16;
constexpr int GlassRows = 27;
constexpr int CellSize = 16;
constexpr int EntryCol = 8;
constexpr int EntryRow = 2;
constexpr int InitialStepLength = 10;
constexpr int StepInterval = 110; // ms per timer tick
constexpr int NextBoxCells = 5;

constexpr TColor EmptyCellColor = 0x004000;
constexpr TColor FilledCellColor = 0x00E0E0;
constexpr TColor CellPenColor = 0x003000;
// Indexed by a glass cell's value.
constexpr std::array<TColor, 2> CellColors = {EmptyCellColor, FilledCellColor};

// Whether windows on the named Qt platform know their place on the screen: Wayland never tells a
// client where its window is, and Qt then reports a made-up position.
bool PlatformReportsWindowPosition(const QString& PlatformName);

// The main window with the game: the glass, the falling and the next piece, the counters,
// and the controls that turn keys, buttons and timer ticks into moves.
class TZorvikForm : public TForm, public Ui::ZorvikForm {
    Q_OBJECT

public:
    explicit TZorvikForm(QWidget* Parent = nullptr);
    ~TZorvikForm() override;

    // Not widgets, so the window description cannot hold them: made by the constructor.
    QTimer* Timer;
    TApplicationEvents* ApplicationEvents;

    // The rules.
    void NewGame();
    void PickNextPiece();
    void SpawnPiece();
    bool TryMove(int DCol, int DRow, int DRotation);
    const TPieceCells& RotatedCells(int DRotation) const;
    bool IsCellFree(int Col, int Row) const;
    void FixPiece();
    void SetScore(int Value);
    void SetRows(int Value);
    void SetSpeed(int Value);
    void Tick();
    void SoftStep();
    void HardDrop();

    // Drawing, called by the rules.
    void PaintRows(int First, int Last);
    void DrawPiece(int ColorIndex);

    // Read access for whoever shows or checks the game.
    std::int32_t Cell(int Col, int Row) const { return FGlass[Col * GlassRows + Row]; }
    const TPiece* Piece() const { return FPiece; }
    const TPieceCells* Rotation() const { return FRotation; }
    const TPiece* NextPiece() const { return FNextPiece; }
    const TPieceCells* NextRotation() const { return FNextRotation; }
    int RotationIndex() const;
    int Col() const { return FCol; }
    int Row() const { return FRow; }
    int Score() const { return FScore; }
    int Rows() const { return FRows; }
    int Speed() const { return FSpeed; }
    int StepLength() const { return FStepLength; }
    int Ticks() const { return FTicks; }
    int DropBonus() const { return FDropBonus; }
    bool Running() const { return FRunning; }
    bool Paused() const { return FPaused; }

    // Places a piece as the falling one without the entry rules: a seam for tests and benchmarks.
    void PlacePiece(int PieceIndex, int Rotation, int Col, int Row);
    void PlaceNextPiece(int PieceIndex, int Rotation);
    void SetCell(int Col, int Row, std::int32_t Value) { FGlass[Col * GlassRows + Row] = Value; }

public slots:
    void aPlayExecute(QObject* Sender);
    void aPauseExecute(QObject* Sender);
    void aStopExecute(QObject* Sender);
    void aBestScoresExecute(QObject* Sender);
    void aPlayUpdate(QObject* Sender);
    void aPauseUpdate(QObject* Sender);
    void aStopUpdate(QObject* Sender);
    void FormKeyDown(QObject* Sender, int& Key, Qt::KeyboardModifiers Shift);
    void FormCloseQuery(QObject* Sender, bool& CanClose);
    void TimerTimer();
    void ApplicationEventsDeactivate(QObject* Sender);
    void pbGlassPaint(QObject* Sender);
    void pbNextPaint(QObject* Sender);
    void URLLabelClick();

private:
    void LoadState();
    void SaveState();
    void DrawGlassCell(int Col, int Row);
    void ShowCaption(const QString& Suffix);

    bool FRunning = false;
    bool FPaused = false;

    std::array<std::int32_t, GlassCols * GlassRows> FGlass{};
    const TPiece* FPiece = nullptr;
    const TPieceCells* FRotation = nullptr;
    const TPiece* FNextPiece = nullptr;
    const TPieceCells* FNextRotation = nullptr;
    std::int32_t FCol = 0;
    std::int32_t FRow = 0;
    std::int32_t FStepLength = 0;
    std::int32_t FTicks = 0;
    std::int32_t FDropBonus = 0;
    std::int32_t FScore = 0;
    std::int32_t FSpeed = 0;
    std::int32_t FRows = 0;

    // Read from the state file at start, written to it at every close.
    TStateBlock FStateBlock{};

public:
    // The best-scores dialog shows and changes its table.
    TStateBlock& StateBlock() { return FStateBlock; }
    const TStateBlock& StateBlock() const { return FStateBlock; }
};

extern TZorvikForm* ZorvikForm;
