#include "game/Pieces.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <utility>

namespace {

std::set<std::pair<int, int>> CellSet(const TPieceCells& Cells)
{
    std::set<std::pair<int, int>> Set;
    for (const TPieceCell& C : Cells)
        Set.insert({C.Col, C.Row});
    return Set;
}

} // namespace

TEST(PieceTable, EachRotationIsThePreviousOneTurnedClockwise)
{
    for (int P = 0; P < PieceCount; ++P)
        for (int R = 0; R < RotationCount; ++R) {
            std::set<std::pair<int, int>> Turned;
            for (const TPieceCell& C : Pieces[P][R])
                Turned.insert({-C.Row, C.Col});
            EXPECT_EQ(Turned, CellSet(Pieces[P][(R + 1) % RotationCount])) << "piece " << P << " rotation " << R;
        }
}

TEST(PieceTable, EveryRotationHoldsFiveDistinctCellsWithTheOriginWithinTwo)
{
    for (int P = 0; P < PieceCount; ++P)
        for (int R = 0; R < RotationCount; ++R) {
            const auto Set = CellSet(Pieces[P][R]);
            EXPECT_EQ(Set.size(), 5u);
            EXPECT_TRUE(Set.count({0, 0})) << "piece " << P;
            for (const auto& [Col, Row] : Set) {
                EXPECT_LE(std::abs(Col), 2);
                EXPECT_LE(std::abs(Row), 2);
            }
        }
}

TEST(PieceTable, HoldsTenShapesAndTheFiveMirrorImages)
{
    // Normalised over rotations and reflections, the fifteen pieces fall into ten shapes.
    auto Canonical = [](const TPieceCells& Cells) {
        std::set<std::set<std::pair<int, int>>> Forms;
        for (int Mirror = 0; Mirror < 2; ++Mirror)
            for (int Turn = 0; Turn < 4; ++Turn) {
                std::set<std::pair<int, int>> Form;
                for (const TPieceCell& C : Cells) {
                    int X = Mirror ? -C.Col : C.Col, Y = C.Row;
                    for (int T = 0; T < Turn; ++T)
                        std::tie(X, Y) = std::make_pair(-Y, X);
                    Form.insert({X, Y});
                }
                const int MinX = std::min_element(Form.begin(), Form.end())->first;
                int MinY = 99;
                for (const auto& Cell : Form)
                    MinY = std::min(MinY, Cell.second);
                std::set<std::pair<int, int>> Shifted;
                for (const auto& [X, Y] : Form)
                    Shifted.insert({X - MinX, Y - MinY});
                Forms.insert(Shifted);
            }
        return *Forms.begin();
    };
    std::set<std::set<std::pair<int, int>>> Shapes;
    for (const TPiece& Piece : Pieces)
        Shapes.insert(Canonical(Piece[0]));
    EXPECT_EQ(Shapes.size(), 10u);
}
