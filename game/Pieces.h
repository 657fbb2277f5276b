#pragma once

#include <array>
#include <cstdint>

// One cell of a piece: column and row offset from the piece's origin (rows grow downward).
struct TPieceCell {
    std::int32_t Col;
    std::int32_t Row;
};

constexpr int PieceCellCount = 5;
constexpr int RotationCount = 4;
constexpr int PieceCount = 15;

using TPieceCells = std::array<TPieceCell, PieceCellCount>;
// Rotation k + 1 is rotation k turned a quarter turn clockwise about the origin.
using TPiece = std::array<TPieceCells, RotationCount>;

extern const std::array<TPiece, PieceCount> Pieces;
