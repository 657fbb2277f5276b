#include "GameFixture.h"

namespace {
constexpr int IPiece = 0;
constexpr int XPiece = 11;
constexpr int Upright = 1;
} // namespace

using Entry = GameTest;
using Turns = GameTest;
using Drops = GameTest;
using Scoring = GameTest;
using RowRemoval = GameTest;
using GameEnd = GameTest;

TEST_F(Entry, BeforeTheFirstGameANextPieceIsChosenAndNothingFalls)
{
    EXPECT_EQ(Form->Piece(), nullptr);
    ASSERT_NE(Form->NextPiece(), nullptr);
    EXPECT_EQ(Form->StepLength(), 10);
    EXPECT_EQ(FilledCells(), 0);
}

TEST_F(Entry, TheNextPieceEntersAtColumnEightRowTwoAndANewOneIsChosen)
{
    Form->PlaceNextPiece(IPiece, Upright);
    Form->NewGame();
    EXPECT_EQ(Form->Piece(), &Pieces[IPiece]);
    EXPECT_EQ(Form->Rotation(), &Pieces[IPiece][Upright]);
    EXPECT_EQ(Form->Col(), 8);
    EXPECT_EQ(Form->Row(), 2);
    // The upright I reaches from row 0 to row 4: it lies on the floor after 22 rows.
    Form->HardDrop();
    for (int Row = 22; Row < 27; ++Row)
        EXPECT_EQ(Form->Cell(8, Row), 1) << Row;
    EXPECT_EQ(FilledCells(), 5);
}

TEST_F(Entry, PiecesAndRotationsFollowTheSeededGenerator)
{
    RandSeed(7);
    Form->PickNextPiece();
    const TPiece* First = Form->NextPiece();
    const TPieceCells* FirstRotation = Form->NextRotation();
    RandSeed(7);
    Form->PickNextPiece();
    EXPECT_EQ(Form->NextPiece(), First);
    EXPECT_EQ(Form->NextRotation(), FirstRotation);
}

TEST_F(Turns, ClockwiseFourTimesReturnsAndAnticlockwiseFromZeroGivesThree)
{
    Form->PlacePiece(1, 0, 8, 10);
    for (int I = 0; I < 4; ++I)
        ASSERT_TRUE(Form->TryMove(0, 0, 1));
    EXPECT_EQ(Form->RotationIndex(), 0);
    ASSERT_TRUE(Form->TryMove(0, 0, -1));
    EXPECT_EQ(Form->RotationIndex(), 3);
}

TEST_F(Turns, ATurnThatLeavesTheGlassIsRefusedWithoutShifting)
{
    Form->PlacePiece(IPiece, Upright, 0, 10);
    EXPECT_FALSE(Form->TryMove(0, 0, 1));
    EXPECT_EQ(Form->RotationIndex(), Upright);
    EXPECT_EQ(Form->Col(), 0);
    Form->PlacePiece(IPiece, Upright, 15, 10);
    EXPECT_FALSE(Form->TryMove(0, 0, -1));
    EXPECT_EQ(Form->Col(), 15);
}

TEST_F(Turns, ATurnOntoAFilledCellIsRefused)
{
    Form->PlacePiece(IPiece, Upright, 8, 10);
    Form->SetCell(10, 10, 1);
    EXPECT_FALSE(Form->TryMove(0, 0, 1));
    EXPECT_EQ(Form->RotationIndex(), Upright);
    Form->SetCell(10, 10, 0);
    EXPECT_TRUE(Form->TryMove(0, 0, 1));
}

TEST_F(Turns, TheXPieceAlwaysTurnsInPlace)
{
    Form->PlacePiece(XPiece, 0, 1, 1);
    EXPECT_TRUE(Form->TryMove(0, 0, 1));
    EXPECT_EQ(Form->Col(), 1);
    EXPECT_EQ(Form->Row(), 1);
}

TEST_F(Turns, MovesStopAtTheWalls)
{
    Form->PlacePiece(IPiece, 0, 2, 5);
    EXPECT_FALSE(Form->TryMove(-1, 0, 0));
    Form->PlacePiece(IPiece, 0, 13, 5);
    EXPECT_FALSE(Form->TryMove(1, 0, 0));
    EXPECT_TRUE(Form->TryMove(-1, 0, 0));
    EXPECT_EQ(Form->Col(), 12);
}

TEST_F(Drops, HardDropFromTheEntryRowToTheFloorGivesBonus24)
{
    Form->PlacePiece(IPiece, 0, 8, 2);
    FillRow(26, {6, 7, 8, 9, 10});
    Form->HardDrop();
    EXPECT_EQ(Form->DropBonus(), 24);
    EXPECT_EQ(Form->Score(), 0 + 24 + 10);
    EXPECT_EQ(Form->Rows(), 1);
}

TEST_F(Drops, AHardDropThatCannotMoveFixesWithBonusZero)
{
    Form->PlacePiece(IPiece, 0, 8, 26);
    Form->HardDrop();
    EXPECT_EQ(Form->DropBonus(), 0);
    EXPECT_EQ(Form->Cell(6, 26), 1);
}

TEST_F(Drops, ASoftStepThatCannotMoveFixesWithBonusOne)
{
    Form->PlacePiece(IPiece, 0, 8, 25);
    Form->SoftStep();
    EXPECT_EQ(Form->Row(), 26);
    EXPECT_EQ(FilledCells(), 0);
    FillRow(26, {6, 7, 8, 9, 10});
    Form->SoftStep();
    EXPECT_EQ(Form->DropBonus(), 1);
    EXPECT_EQ(Form->Score(), 0 + 1 + 10);
}

TEST_F(Drops, TheTimerStepsDownOnlyEveryStepLengthTicks)
{
    Form->PlacePiece(IPiece, 0, 8, 5);
    for (int Tick = 1; Tick < 10; ++Tick)
        Form->Tick();
    EXPECT_EQ(Form->Row(), 5);
    Form->Tick();
    EXPECT_EQ(Form->Row(), 6);
    EXPECT_EQ(Form->Ticks(), 0);
    // A soft step leaves the tick count alone.
    Form->Tick();
    Form->SoftStep();
    EXPECT_EQ(Form->Ticks(), 1);
}

TEST_F(Drops, AStepThatCannotMoveFixesWithBonusZero)
{
    Form->PlacePiece(IPiece, 0, 8, 26);
    FillRow(25, {});
    for (int Tick = 0; Tick < 10; ++Tick)
        Form->Tick();
    EXPECT_EQ(Form->DropBonus(), 0);
    EXPECT_EQ(Form->Cell(8, 26), 1);
}

namespace {
// Two full rows at the floor with an upright I closing both in column 0.
void PrepareTwoRows(TZorvikForm& Form)
{
    for (int Row : {25, 26})
        for (int Col = 1; Col < GlassCols; ++Col)
            Form.SetCell(Col, Row, 1);
    Form.PlacePiece(IPiece, Upright, 0, 24);
}
} // namespace

TEST_F(Scoring, TwoRowsAtSpeedZeroScoreTwenty)
{
    PrepareTwoRows(*Form);
    Form->HardDrop();
    EXPECT_EQ(Form->Rows(), 2);
    EXPECT_EQ(Form->Score(), 20);
    EXPECT_EQ(Form->lblScore->text(), "20");
    EXPECT_EQ(Form->lblRows->text(), "2");
}

TEST_F(Scoring, TheTenthRowAlreadyScoresAtTheNewSpeed)
{
    Form->SetRows(9);
    PrepareTwoRows(*Form);
    Form->HardDrop();
    EXPECT_EQ(Form->Score(), 11 + 11);
    EXPECT_EQ(Form->Speed(), 1);
    EXPECT_EQ(Form->lblSpeed->text(), "1");

    Form->SetScore(0);
    Form->SetRows(8);
    PrepareTwoRows(*Form);
    Form->HardDrop();
    EXPECT_EQ(Form->Score(), 10 + 11);
}

TEST_F(Scoring, TheHundredthRowWrapsTheSpeedToZeroAndScoresAtZero)
{
    Form->SetRows(99);
    EXPECT_EQ(Form->Speed(), 9);
    EXPECT_EQ(Form->StepLength(), 1);
    FillRow(26, {6, 7, 8, 9, 10});
    Form->PlacePiece(IPiece, 0, 8, 26);
    Form->HardDrop();
    EXPECT_EQ(Form->Rows(), 100);
    EXPECT_EQ(Form->Speed(), 0);
    EXPECT_EQ(Form->StepLength(), 10);
    EXPECT_EQ(Form->Score(), 10);
}

TEST_F(Scoring, ANewGameZeroesTheCountersButNotTheTicksOrBonus)
{
    Form->SetRows(55);
    Form->SetScore(300);
    Form->PlacePiece(IPiece, 0, 8, 20);
    Form->Tick();
    Form->HardDrop();
    const int Ticks = Form->Ticks();
    const int Bonus = Form->DropBonus();
    Form->NewGame();
    EXPECT_EQ(Form->Score(), 0);
    EXPECT_EQ(Form->Rows(), 0);
    EXPECT_EQ(Form->Speed(), 0);
    EXPECT_EQ(Form->StepLength(), 10);
    EXPECT_EQ(Form->Ticks(), Ticks);
    EXPECT_EQ(Form->DropBonus(), Bonus);
    EXPECT_EQ(FilledCells(), 0);
}

TEST_F(RowRemoval, RowsTwentyAndTwentyTwoGoAndTheFormerRowTwentyOneLandsInTwentyTwo)
{
    for (int Row : {20, 22})
        for (int Col = 1; Col < GlassCols; ++Col)
            Form->SetCell(Col, Row, 1);
    Form->SetCell(5, 21, 1);
    Form->SetCell(3, 19, 1);
    Form->SetCell(0, 25, 1); // keeps the I at rows 20 to 24
    Form->PlacePiece(IPiece, Upright, 0, 22);
    Form->HardDrop();
    EXPECT_EQ(Form->DropBonus(), 0);
    EXPECT_EQ(Form->Rows(), 2);
    // Former row 21: the I's cell in column 0 and the cell in column 5.
    EXPECT_EQ(Form->Cell(0, 22), 1);
    EXPECT_EQ(Form->Cell(5, 22), 1);
    EXPECT_EQ(Form->Cell(1, 22), 0);
    // Rows above row 20 moved down two rows.
    EXPECT_EQ(Form->Cell(3, 21), 1);
    EXPECT_EQ(Form->Cell(3, 19), 0);
    // Rows 23 and 24 keep the I's cells; row 25 is untouched.
    EXPECT_EQ(Form->Cell(0, 23), 1);
    EXPECT_EQ(Form->Cell(0, 24), 1);
    EXPECT_EQ(Form->Cell(0, 25), 1);
    EXPECT_EQ(FilledCells(), 6);
}

TEST_F(RowRemoval, RemovingRowZeroLeavesAnEmptyTopRow)
{
    FillRow(0, {6, 7, 8, 9, 10});
    FillRow(1, {6, 7, 8, 9, 10});
    Form->PlacePiece(IPiece, 0, 8, 0);
    Form->FixPiece();
    EXPECT_EQ(Form->Rows(), 1);
    for (int Col = 0; Col < GlassCols; ++Col)
        EXPECT_EQ(Form->Cell(Col, 0), 0);
}

TEST_F(GameEnd, APieceThatDoesNotFitEndsTheGameAndStaysNext)
{
    Play();
    FillRow(2, {0});
    Form->PlaceNextPiece(XPiece, 0);
    const int Before = FilledCells();
    Form->SpawnPiece();
    EXPECT_FALSE(Form->Running());
    EXPECT_FALSE(Form->Timer->isActive());
    EXPECT_EQ(Form->windowTitle(), "Zorvik - game over");
    EXPECT_EQ(Form->Piece(), &Pieces[XPiece]);
    EXPECT_EQ(Form->NextPiece(), &Pieces[XPiece]);
    EXPECT_EQ(FilledCells(), Before);

    // The next game starts with that same piece.
    Play();
    EXPECT_EQ(Form->Piece(), &Pieces[XPiece]);
    EXPECT_EQ(Form->Col(), 8);
    EXPECT_TRUE(Form->Running());
}
