#pragma once

// This file is not part of the zq library's interface: it is never installed, and may change
// from one version to the next.
//
// The fields of the grid classes of framework/Grids.h, behind their d pointers, for the library's
// code and this project's tests: fields come and go here without changing the installed classes'
// size.

#include "framework/GridAccessible_p.h"
#include "framework/Grids.h"
#include "framework/StringTable.h"

#include <QHash>
#include <QList>
#include <QStaticText>

#include <algorithm>
#include <functional>
#include <map>
#include <optional>

// The shared library exports none of this: a program linking only it has to do without.
#ifdef ZQ_TESTS_OF_THE_SHARED_LIBRARY
#error "framework/Grids_p.h is the library's own; a test of the shared library cannot use it"
#endif

class QLineEdit;

class TGridCanvasPrivate {
public:
    static TGridCanvasPrivate& Of(TGridCanvas& Canvas) { return *Canvas.d; }

    struct TText {
        int Width = 0;
        // How far its first and last glyphs reach beyond its advance box (0 or less).
        int InkLeft = 0;
        int InkRight = 0;
        // The paint that last wrote it, and whether it was ever written before that.
        unsigned LastPaint = 0;
        bool Repeated = false;
        QStaticText Glyphs;
    };
    struct TFontData {
        QFont Font;
        int Height = 0;
        int Ascent = 0;
    };
    const TFontData& FontData() const;
    TText& Known(const QString& Text) const;
    void ForgetPainterState();

    // What the paint loop sets before each cell, and DrawCell and the handlers may change.
    TGridCanvas::TBrush FBrush;
    QFont FFont;
    QColor FFontColor;

    // Told of every text written, with its cell and position: lets the tests check what a grid
    // shows (framework/GridTestHooks.h).
    std::function<void(const QRect& Rect, int X, int Y, const QString& Text)> FOnText;

    QPainter* FPainter = nullptr;
    unsigned FPaint = 0;
    mutable std::optional<TFontData> FMetrics;
    mutable QHash<QString, TText> FTexts;
    // The text looked up last: a cell measures its text and then writes the same string.
    mutable QString FLastText;
    mutable TText* FLast = nullptr;
    // The last rectangle filled, while nothing has been drawn over it since.
    QRect FFilled;
    QColor FFilledColor;
    // The font given to the painter and the painter's copy of it: while the painter still holds
    // that copy, its font need not be set again.
    QFont FPainterFont;
    QFont FPainterCopy;
};

class TCustomGridPrivate {
public:
    static TCustomGridPrivate& Of(TCustomGrid& Grid) { return *Grid.d; }

    // Counts and sizes (Grids.cpp, GridGeometry.cpp).
    int FColCount = 5;
    qint64 FRowCount = 5;
    int FFixedCols = 1;
    int FFixedRows = 1;
    int FDefaultColWidth = 64;
    int FDefaultRowHeight = 24;
    // The widths given to single columns; every other column has the default width.
    std::map<int, int> FColWidths;
    // Widths a window description gave for columns the grid did not have yet.
    QList<int> FPendingColWidths;
    bool FColWidthsStreamed = false;
    int FGridLineWidth = 1;
    int FTopRow = 1;
    int FLeftCol = 1;
    bool FSyncingScrollBars = false;

    // Looks and options (Grids.cpp).
    QColor FColor;
    QColor FFixedColor;
    // Whether the program set them; otherwise they follow the palette.
    bool FColorSet = false;
    bool FFixedColorSet = false;
    bool FDefaultDrawing = true;
    TGridOptions FOptions{goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goRangeSelect};
    bool FLoading = false;

    // The current cell and the selection (GridSelection.cpp).
    TGridCoord FCurrent{1, 1};
    TGridCoord FAnchor{1, 1};
    // After SelectAll(), until the next move: every scrolling cell is selected (GridClipboard.cpp).
    bool FAllSelected = false;
    TSelectCellEvent FOnSelectCell;

    // Keys, mouse and the in-place editor (GridInput.cpp).
    int FSizingCol = -1;
    int FSizingStartX = 0;
    int FSizingStartWidth = 0;
    QLineEdit* FEditor = nullptr;
    TKeyPressEvent FOnKeyPress;
    TNotifyEvent FOnDblClick;

    // Right to left (GridGeometry.cpp): the mode SetBiDiMode() asked for, which holds while the
    // layout direction is the one it set; BiDiMode() works out the rest from isRightToLeft().
    TCustomGrid::TBiDiMode FBiDiMode = TCustomGrid::bdLeftToRight;
    TCustomGrid::TBiDiMode BiDiMode(bool RightToLeft) const
    {
        if (RightToLeft)
            return FBiDiMode == TCustomGrid::bdRightToLeftNoAlign ? FBiDiMode : TCustomGrid::bdRightToLeft;
        return FBiDiMode == TCustomGrid::bdRightToLeftReadingOnly ? FBiDiMode : TCustomGrid::bdLeftToRight;
    }
    void FollowDirection(TCustomGrid& Grid);

    // Elided texts and tooltips (GridClipboard.cpp).
    Qt::TextElideMode FTextElideMode = Qt::ElideNone;
    bool FShowHint = false;
    // Watches the viewport for tooltip events while ShowHint is on; a child of the grid.
    QObject* FHintFilter = nullptr;

    // Ends a selection of all the cells, repainting what it highlighted: the counts changed.
    static void EndSelectAll(TCustomGrid& Grid);
    // The margins the grid leaves beside the text of a cell (TextMarginsHook).
    static TCustomGrid::TTextMarginsQuery TextMargins(TCustomGrid& Grid, int ACol, int ARow);
    // Fits column ACol to the widest text of the visible rows; false when none of them has a text.
    static bool FitColToTexts(TCustomGrid& Grid, int ACol);
    // Shows the whole text of the cell at Pos in a tooltip if it does not fit; whether it did.
    static bool ShowCellHint(TCustomGrid& Grid, const QPoint& Pos, const QPoint& GlobalPos);

    // Painting (GridPainting.cpp).
    TGridCanvas FCanvas;
    // Told of every part of the client area the grid asks to paint again: for the tests
    // (framework/GridTestHooks.h).
    std::function<void(const QRect&)> FOnInvalidateRect;

    // The cells screen readers were given (GridAccessible.cpp).
    GridAccessibility::TCellCache FAccessibleCells;
};

// Nothing yet: the draw grid's room for fields of later versions.
class TDrawGridPrivate {};

// What the parts of the grid share.
namespace GridParts {

// The size of a cell's rectangle is cut here, far beyond any screen, so that the rectangle's
// edges and the texts placed in it stay within an int.
constexpr int MaxCellSpan = INT_MAX / 4;

inline int ClampToInt(qint64 Value)
{
    return int(std::clamp<qint64>(Value, INT_MIN, INT_MAX));
}

// A rectangle given in 64 bits, cut to the client area.
inline QRect ClientPart(qint64 X, qint64 Y, qint64 Width, qint64 Height, const QSize& Client)
{
    const qint64 Left = std::max<qint64>(X, 0);
    const qint64 Top = std::max<qint64>(Y, 0);
    const qint64 Right = std::min<qint64>(X + Width, Client.width());
    const qint64 Bottom = std::min<qint64>(Y + Height, Client.height());
    if (Right <= Left || Bottom <= Top)
        return QRect();
    return QRect(int(Left), int(Top), int(Right - Left), int(Bottom - Top));
}

// Right to left the layout is worked out left to right and mirrored within the client width on
// its way to the screen, and a point of the screen on its way back, as QStyle::visualRect() does:
// the one rule for every x of the grid. Left to right it changes nothing.
struct TMirror {
    bool On = false;
    int Width = 0;
    static TMirror Of(const TCustomGrid& Grid)
    {
        return Grid.isRightToLeft() ? TMirror{true, Grid.ClientSize().width()} : TMirror{};
    }
    QRect operator()(const QRect& Rect) const
    {
        return On && !Rect.isNull() ? QRect(Width - Rect.x() - Rect.width(), Rect.y(), Rect.width(), Rect.height()) : Rect;
    }
    int X(int At) const { return On ? Width - 1 - At : At; }
};

// Raises EInvalidGridOperation with the framework's text Message.
[[noreturn]] void InvalidOperation(TFrameworkString Message);

} // namespace GridParts
