#pragma once

#include "framework/Events.h"
#include "framework/Exceptions.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QFont>
#include <QHash>
#include <QList>
#include <QRect>
#include <QStaticText>

#include <climits>
#include <functional>
#include <map>
#include <optional>

class QLineEdit;
class QPainter;

namespace Exceptions {
ZQ_DECLARE_EXCEPTION(EInvalidGridOperation, Exception)
}

enum TGridDrawStateFlag { gdSelected = 0x1, gdFocused = 0x2, gdFixed = 0x4 };
Q_DECLARE_FLAGS(TGridDrawState, TGridDrawStateFlag)
Q_DECLARE_OPERATORS_FOR_FLAGS(TGridDrawState)

struct TGridCoord {
    int X = 0; // column
    int Y = 0; // row
    bool operator==(const TGridCoord& O) const { return X == O.X && Y == O.Y; }
};

struct TGridRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    bool Contains(int ACol, int ARow) const { return ACol >= Left && ACol <= Right && ARow >= Top && ARow <= Bottom; }
};

using TSelectCellEvent = TEvent<QObject*, int, int, bool&>;
using TDrawCellEvent = TEvent<QObject*, int, int, const QRect&, TGridDrawState>;
using TKeyPressEvent = TEvent<QObject*, QChar&>;

// The canvas a grid's cells are drawn on while it paints. It measures with metrics made once per
// font, and keeps what it learnt of each text it wrote (its width, and once the text is met again
// its laid-out glyphs) for the next paints, so that a repaint of what is shown lays out nothing
// anew. It fills a rectangle that it has just filled with the same colour only once.
class TGridCanvas {
public:
    struct TBrush { QColor Color; } Brush;
    QFont Font;
    QColor FontColor;

    int TextWidth(const QString& Text) const;
    int TextHeight(const QString& Text) const;
    void FillRect(const QRect& Rect);
    // Fills Rect with the brush and writes Text with its top left corner at (X, Y), clipped to Rect.
    void TextRect(const QRect& Rect, int X, int Y, const QString& Text);

    // The painter of the paint under way, null outside one; drawing with it directly is allowed.
    QPainter* Painter();
    void BeginPaint(QPainter* Painter);
    void EndPaint();

private:
    // Told of every text written, with its cell and position: lets the tests check what a grid
    // shows (framework/GridTestHooks.h, not installed).
    friend struct TGridTestHooks;
    std::function<void(const QRect& Rect, int X, int Y, const QString& Text)> FOnText;

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

    QPainter* FPainter = nullptr;
    unsigned FPaint = 0;
    mutable std::optional<TFontData> FFont;
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

// A grid of cells in columns and rows, the first FixedCols columns and FixedRows rows being fixed
// titles. It keeps a current cell outside the fixed area, moved by keys and mouse after asking
// SelectCell, scrolls by whole rows and columns, and paints only the visible cells through the
// overridable DrawCell. Rows all have the default height and columns the default width unless
// given one, so any number of rows or columns costs nothing. Positions are summed in 64 bits: no
// width, height or count can overflow them.
class TCustomGrid : public QAbstractScrollArea {
    Q_OBJECT

public:
    // Declared inside the class so that the meta-object system, and with it a form designer,
    // knows their names: check boxes for the options, a drop-down for the scroll bars.
    enum TGridOption {
        goFixedVertLine = 0x1,
        goFixedHorzLine = 0x2,
        goVertLine = 0x4,
        goHorzLine = 0x8,
        goRangeSelect = 0x10,
        goDrawFocusSelected = 0x20,
        goColSizing = 0x80,
        goEditing = 0x400,
        goTabs = 0x800,
        goRowSelect = 0x1000,
        goAlwaysShowEditor = 0x2000,
    };
    Q_DECLARE_FLAGS(TGridOptions, TGridOption)
    Q_FLAG(TGridOptions)
    enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };
    Q_ENUM(TScrollStyle)

private:
    Q_PROPERTY(int DefaultColWidth READ DefaultColWidth WRITE SetDefaultColWidth)
    Q_PROPERTY(int DefaultRowHeight READ DefaultRowHeight WRITE SetDefaultRowHeight)
    Q_PROPERTY(int GridLineWidth READ GridLineWidth WRITE SetGridLineWidth)
    Q_PROPERTY(QColor Color READ Color WRITE SetColor)
    Q_PROPERTY(QColor FixedColor READ FixedColor WRITE SetFixedColor)
    Q_PROPERTY(bool DefaultDrawing READ DefaultDrawing WRITE SetDefaultDrawing)
    // The column widths as a window description stores them: blank-separated, first column first.
    Q_PROPERTY(QString ColWidthList READ ColWidthList WRITE SetColWidthList)
    Q_PROPERTY(TGridOptions Options READ Options WRITE SetOptions)
    Q_PROPERTY(TScrollStyle ScrollBars READ ScrollBars WRITE SetScrollBars)
    Q_PROPERTY(int VisibleColCount READ VisibleColCount STORED false)
    Q_PROPERTY(int VisibleRowCount READ VisibleRowCount STORED false)

public:
    explicit TCustomGrid(QWidget* Parent = nullptr);
    ~TCustomGrid() override;

    int ColCount() const { return FColCount; }
    void SetColCount(int Value);
    // One more than the largest row index, so that row INT_MAX can exist.
    static constexpr qint64 MaxRowCount = qint64(INT_MAX) + 1;
    qint64 RowCount() const { return FRowCount; }
    void SetRowCount(qint64 Value);
    int FixedCols() const { return FFixedCols; }
    void SetFixedCols(int Value);
    int FixedRows() const { return FFixedRows; }
    void SetFixedRows(int Value);

    int DefaultColWidth() const { return FDefaultColWidth; }
    void SetDefaultColWidth(int Value);
    int DefaultRowHeight() const { return FDefaultRowHeight; }
    void SetDefaultRowHeight(int Value);
    int ColWidths(int ACol) const;
    // Negative widths are raised to 0.
    void SetColWidths(int ACol, int Value);
    QString ColWidthList() const;
    // Widths for columns the grid does not have yet are kept until the columns come: a window
    // description may give the widths before what makes the columns.
    void SetColWidthList(const QString& Widths);
    // Whether a window description gave the grid its column widths.
    bool ColWidthsStreamed() const { return FColWidthsStreamed; }
    int GridLineWidth() const { return FGridLineWidth; }
    void SetGridLineWidth(int Value);

    QColor Color() const { return FColor; }
    void SetColor(const QColor& Value);
    QColor FixedColor() const { return FFixedColor; }
    void SetFixedColor(const QColor& Value);
    bool DefaultDrawing() const { return FDefaultDrawing; }
    void SetDefaultDrawing(bool Value);
    TGridOptions Options() const { return FOptions; }
    void SetOptions(TGridOptions Value);
    TScrollStyle ScrollBars() const { return FScrollBars; }
    void SetScrollBars(TScrollStyle Value);

    // The current cell; moving it asks SelectCell, which may refuse.
    int Col() const { return FCurrent.X; }
    void SetCol(int Value);
    int Row() const { return FCurrent.Y; }
    void SetRow(int Value);
    void FocusCell(int ACol, int ARow, bool MoveAnchor = true);
    TGridRect Selection() const;

    int TopRow() const { return FTopRow; }
    void SetTopRow(int Value);
    int LeftCol() const { return FLeftCol; }
    void SetLeftCol(int Value);
    // Scrollable rows (columns) that fit wholly in the client area.
    int VisibleRowCount() const;
    int VisibleColCount() const;

    // The cell's rectangle in client coordinates; empty when the cell is not visible.
    QRect CellRect(int ACol, int ARow) const;
    // The cell under a client point; (-1, -1) when there is none.
    TGridCoord MouseCoord(int X, int Y) const;
    // The client area: the part inside the border and the scroll bars.
    QSize ClientSize() const;
    void SetClientSize(int Width, int Height);

    void InvalidateCell(int ACol, int ARow);
    void InvalidateRow(int ARow);
    void InvalidateCol(int ACol);
    void InvalidateGrid();

    bool EditorMode() const { return FEditor != nullptr; }
    void ShowEditor();
    void HideEditor();

    // While a window description is read; Loaded ends it.
    bool Loading() const { return FLoading; }
    void BeginLoading() { FLoading = true; }
    virtual void Loaded();

    // The canvas of the cell being drawn, for the handlers of OnDrawCell.
    TGridCanvas& CellCanvas() { return FCanvas; }

    TKeyPressEvent OnKeyPress;
    TNotifyEvent OnDblClick;

signals:
    // The current cell moved, by the user, by a program or because the counts shrank under it.
    void currentCellChanged(int ACol, int ARow);

public:

    // As if typed or double-clicked by the user.
    virtual void KeyPress(QChar& Key);
    virtual void DblClick();

protected:
    virtual void DrawCell(int ACol, int ARow, const QRect& Rect, TGridDrawState State) = 0;
    virtual bool SelectCell(int ACol, int ARow);
    virtual QString GetEditText(int ACol, int ARow);
    virtual void SetEditText(int ACol, int ARow, const QString& Value);
    TGridCanvas& Canvas() { return FCanvas; }

    void paintEvent(QPaintEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void mouseDoubleClickEvent(QMouseEvent* Event) override;
    void scrollContentsBy(int DX, int DY) override;
    void focusInEvent(QFocusEvent* Event) override;
    void focusOutEvent(QFocusEvent* Event) override;
    bool focusNextPrevChild(bool Next) override;

private:
    // Told of every part of the client area the grid asks to paint again: for the tests
    // (framework/GridTestHooks.h, not installed).
    friend struct TGridTestHooks;
    std::function<void(const QRect&)> FOnInvalidateRect;
    struct TSpan {
        int Index;
        int Start;
        int Size;
    };
    // Visible columns (rows) in order: the fixed ones, then from LeftCol (TopRow) on.
    QList<TSpan> VisibleCols() const;
    QList<TSpan> VisibleRows() const;
    qint64 FixedWidth() const;
    qint64 FixedHeight() const;
    qint64 ColExtent(int ACol) const { return qint64(ColWidths(ACol)) + FGridLineWidth; }
    qint64 RowExtent() const { return qint64(FDefaultRowHeight) + FGridLineWidth; }
    // The leftmost column from which ACol is still wholly visible; ACol itself when it is wider
    // than the room.
    int LeftColShowing(int ACol) const;
    int MaxTopRow() const;
    int MaxLeftCol() const;
    void InvalidateRect(const QRect& Rect);
    void InvalidateSelection();
    void MoveCurrent(int ACol, int ARow, bool MoveAnchor);
    void CurrentCellMoved(const TGridCoord& From);
    void ScrollToCurrent();
    void UpdateScrollBars();
    void PlaceEditor();
    void DrawLines(QPainter& Painter, const QList<TSpan>& Cols, const QList<TSpan>& Rows);
    void DrawBeyondCells(QPainter& Painter, const QList<TSpan>& Cols, const QList<TSpan>& Rows);
    void DrawFocus(QPainter& Painter, const QList<TSpan>& Cols, const QList<TSpan>& Rows);
    void InvalidateFocus();
    void MoveByKey(QKeyEvent* Event);
    int SizingBorder(int X, int Y) const;

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
    QColor FColor;
    QColor FFixedColor;
    bool FDefaultDrawing = true;
    TGridOptions FOptions{goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goRangeSelect};
    TScrollStyle FScrollBars = TScrollStyle::ssBoth;
    TGridCoord FCurrent{1, 1};
    TGridCoord FAnchor{1, 1};
    int FTopRow = 1;
    int FLeftCol = 1;
    bool FLoading = false;
    bool FSyncingScrollBars = false;
    int FSizingCol = -1;
    int FSizingStartX = 0;
    int FSizingStartWidth = 0;
    QLineEdit* FEditor = nullptr;
    TGridCanvas FCanvas;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TCustomGrid::TGridOptions)

using TGridOption = TCustomGrid::TGridOption;
using TGridOptions = TCustomGrid::TGridOptions;
using TScrollStyle = TCustomGrid::TScrollStyle;
inline constexpr TGridOption goFixedVertLine = TCustomGrid::goFixedVertLine;
inline constexpr TGridOption goFixedHorzLine = TCustomGrid::goFixedHorzLine;
inline constexpr TGridOption goVertLine = TCustomGrid::goVertLine;
inline constexpr TGridOption goHorzLine = TCustomGrid::goHorzLine;
inline constexpr TGridOption goRangeSelect = TCustomGrid::goRangeSelect;
inline constexpr TGridOption goDrawFocusSelected = TCustomGrid::goDrawFocusSelected;
inline constexpr TGridOption goColSizing = TCustomGrid::goColSizing;
inline constexpr TGridOption goEditing = TCustomGrid::goEditing;
inline constexpr TGridOption goTabs = TCustomGrid::goTabs;
inline constexpr TGridOption goRowSelect = TCustomGrid::goRowSelect;
inline constexpr TGridOption goAlwaysShowEditor = TCustomGrid::goAlwaysShowEditor;

// A grid whose cells the application draws in its OnDrawCell handler.
class TDrawGrid : public TCustomGrid {
    Q_OBJECT
    Q_PROPERTY(int ColCount READ ColCount WRITE SetColCount)
    Q_PROPERTY(qint64 RowCount READ RowCount WRITE SetRowCount)
    Q_PROPERTY(int FixedCols READ FixedCols WRITE SetFixedCols)
    Q_PROPERTY(int FixedRows READ FixedRows WRITE SetFixedRows)

public:
    explicit TDrawGrid(QWidget* Parent = nullptr);

    TSelectCellEvent OnSelectCell;

signals:
    void OnDrawCell(QObject* Sender, int ACol, int ARow, const QRect& Rect, TGridDrawState State);

protected:
    void DrawCell(int ACol, int ARow, const QRect& Rect, TGridDrawState State) override;
    bool SelectCell(int ACol, int ARow) override;
};
