// The rules of play: members of the main window, apart from its window code.
#include "game/ZorvikFrm.h"

#include "framework/PaintBox.h"
#include "framework/Random.h"

#include <QLabel>

#include <algorithm>

void TZorvikForm::PickNextPiece()
{
    // The piece first, then its rotation.
    FNextPiece = &Pieces[Random(PieceCount)];
    FNextRotation = &(*FNextPiece)[Random(RotationCount)];
    pbNext->Repaint();
}

void TZorvikForm::SpawnPiece()
{
    FPiece = FNextPiece;
    FRotation = FNextRotation;
    FCol = EntryCol;
    FRow = EntryRow;
    if (TryMove(0, 0, 0))
        PickNextPiece();
    else
        Execute(aStop);
}

int TZorvikForm::RotationIndex() const
{
    return FPiece ? int(FRotation - FPiece->data()) : 0;
}

const TPieceCells& TZorvikForm::RotatedCells(int DRotation) const
{
    int Index = RotationIndex() + DRotation;
    if (Index >= RotationCount)
        Index -= RotationCount;
    else if (Index < 0)
        Index += RotationCount;
    return (*FPiece)[Index];
}

bool TZorvikForm::IsCellFree(int Col, int Row) const
{
    return Col >= 0 && Col < GlassCols && Row >= 0 && Row < GlassRows && Cell(Col, Row) == 0;
}

bool TZorvikForm::TryMove(int DCol, int DRow, int DRotation)
{
    const TPieceCells& Cells = RotatedCells(DRotation);
    for (const TPieceCell& C : Cells)
        if (!IsCellFree(FCol + DCol + C.Col, FRow + DRow + C.Row))
            return false;
    DrawPiece(0);
    FRotation = &Cells;
    FCol += DCol;
    FRow += DRow;
    DrawPiece(1);
    return true;
}

void TZorvikForm::Tick()
{
    if (++FTicks < FStepLength)
        return;
    FTicks = 0;
    if (TryMove(0, 1, 0))
        return;
    FDropBonus = 0;
    FixPiece();
}

void TZorvikForm::SoftStep()
{
    if (TryMove(0, 1, 0))
        return;
    FDropBonus = 1;
    FixPiece();
}

void TZorvikForm::HardDrop()
{
    FDropBonus = 0;
    while (TryMove(0, 1, 0))
        ++FDropBonus;
    FixPiece();
}

void TZorvikForm::FixPiece()
{
    int Top = FRow;
    int Bottom = FRow;
    for (const TPieceCell& C : *FRotation) {
        const int Row = FRow + C.Row;
        Top = std::min(Top, Row);
        Bottom = std::max(Bottom, Row);
        SetCell(FCol + C.Col, Row, 1);
    }

    // Rows are examined top to bottom; removing one moves only the rows above it, so the
    // rows still to be examined stay where they are.
    int Lowest = -1;
    for (int R = Top; R <= Bottom; ++R) {
        bool Full = true;
        for (int Col = 0; Col < GlassCols && Full; ++Col)
            Full = Cell(Col, R) != 0;
        if (!Full)
            continue;
        Lowest = R;
        for (int Col = 0; Col < GlassCols; ++Col) {
            std::int32_t* Column = &FGlass[Col * GlassRows];
            std::copy_backward(Column, Column + R, Column + R + 1);
            Column[0] = 0;
        }
        SetRows(FRows + 1);
        // Read after SetRows: the row that completes a tenth row scores at the new speed.
        SetScore(FScore + FSpeed + FDropBonus + 10);
    }
    if (Lowest >= 0)
        PaintRows(0, Lowest);
    SpawnPiece();
}

void TZorvikForm::SetScore(int Value)
{
    FScore = Value;
    lblScore->setText(QString::number(FScore));
}

void TZorvikForm::SetRows(int Value)
{
    FRows = Value;
    lblRows->setText(QString::number(FRows));
    const int NewSpeed = (FRows / 10) % 10;
    if (NewSpeed != FSpeed)
        SetSpeed(NewSpeed);
}

void TZorvikForm::SetSpeed(int Value)
{
    FSpeed = Value;
    lblSpeed->setText(QString::number(FSpeed));
    FStepLength = InitialStepLength - FSpeed;
}

void TZorvikForm::NewGame()
{
    SetScore(0);
    SetRows(0);
    FGlass.fill(0);
    pbGlass->Invalidate();
    SpawnPiece();
}

void TZorvikForm::PlacePiece(int PieceIndex, int Rotation, int Col, int Row)
{
    FPiece = &Pieces[PieceIndex];
    FRotation = &(*FPiece)[Rotation];
    FCol = Col;
    FRow = Row;
}

void TZorvikForm::PlaceNextPiece(int PieceIndex, int Rotation)
{
    FNextPiece = &Pieces[PieceIndex];
    FNextRotation = &(*FNextPiece)[Rotation];
}
