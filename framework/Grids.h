#pragma once

#include <QAbstractScrollArea>
#include <QColor>
#include <QFont>
#include <QList>
#include <QRect>

#include <functional>

class QPainter;

enum TGridDrawStateFlag { gdSelected = 0x1, gdFocused = 0x2, gdFixed = 0x4 };
Q_DECLARE_FLAGS(TGridDrawState, TGridDrawStateFlag)
Q_DECLARE_OPERATORS_FOR_FLAGS(TGridDrawState)

// The canvas a grid's cells are drawn on while it paints.
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

    QPainter* Painter = nullptr;
    // Told of every text written, with its cell and position: lets a caller check what a grid shows.
    std::function<void(const QRect& Rect, int X, int Y, const QString& Text)> OnText;
};

// A grid of cells in columns and rows, the first FixedCols columns and FixedRows rows being
// fixed titles. Cells are drawn by the overridable DrawCell, for visible cells only.
class TCustomGrid : public QAbstractScrollArea {
    Q_OBJECT
    Q_PROPERTY(int ColCount READ ColCount WRITE SetColCount)
    Q_PROPERTY(int RowCount READ RowCount WRITE SetRowCount)
    Q_PROPERTY(int FixedCols READ FixedCols WRITE SetFixedCols)
    Q_PROPERTY(int FixedRows READ FixedRows WRITE SetFixedRows)
    Q_PROPERTY(int DefaultColWidth READ DefaultColWidth WRITE SetDefaultColWidth)
    Q_PROPERTY(int DefaultRowHeight READ DefaultRowHeight WRITE SetDefaultRowHeight)
    Q_PROPERTY(int GridLineWidth READ GridLineWidth WRITE SetGridLineWidth)
    Q_PROPERTY(QColor Color READ Color WRITE SetColor)
    Q_PROPERTY(QColor FixedColor READ FixedColor WRITE SetFixedColor)
    Q_PROPERTY(bool DefaultDrawing READ DefaultDrawing WRITE SetDefaultDrawing)
    // The column widths as a window description stores them: blank-separated, first column first.
    Q_PROPERTY(QString ColWidthList READ ColWidthList WRITE SetColWidthList)

public:
    explicit TCustomGrid(QWidget* Parent = nullptr);

    int ColCount() const { return FColCount; }
    void SetColCount(int Value);
    int RowCount() const { return FRowCount; }
    void SetRowCount(int Value);
    int FixedCols() const { return FFixedCols; }
    void SetFixedCols(int Value);
    int FixedRows() const { return FFixedRows; }
    void SetFixedRows(int Value);

    int DefaultColWidth() const { return FDefaultColWidth; }
    void SetDefaultColWidth(int Value);
    int DefaultRowHeight() const { return FDefaultRowHeight; }
    void SetDefaultRowHeight(int Value);
    int ColWidths(int ACol) const;
    void SetColWidths(int ACol, int Value);
    QString ColWidthList() const;
    void SetColWidthList(const QString& Widths);
    int GridLineWidth() const { return FGridLineWidth; }
    void SetGridLineWidth(int Value);

    QColor Color() const { return FColor; }
    void SetColor(const QColor& Value);
    QColor FixedColor() const { return FFixedColor; }
    void SetFixedColor(const QColor& Value);
    bool DefaultDrawing() const { return FDefaultDrawing; }
    void SetDefaultDrawing(bool Value);

    int TopRow() const { return FTopRow; }
    int LeftCol() const { return FLeftCol; }

    // The cell's rectangle in client coordinates; empty when the cell is not visible.
    QRect CellRect(int ACol, int ARow) const;
    // The client area: the part inside the border and the scroll bars.
    QSize ClientSize() const;
    void SetClientSize(int Width, int Height);

    void InvalidateCell(int ACol, int ARow);
    void InvalidateRow(int ARow);
    void InvalidateCol(int ACol);
    void InvalidateGrid();

    // The canvas of the cell being drawn, for the handlers of OnDrawCell.
    TGridCanvas& CellCanvas() { return FCanvas; }

protected:
    virtual void DrawCell(int ACol, int ARow, const QRect& Rect, TGridDrawState State) = 0;
    TGridCanvas& Canvas() { return FCanvas; }

    void paintEvent(QPaintEvent* Event) override;

private:
    // Visible columns (rows) in order: the fixed ones, then from LeftCol (TopRow) on, with their offsets.
    struct TSpan {
        int Index;
        int Start;
        int Size;
    };
    QList<TSpan> VisibleCols() const;
    QList<TSpan> VisibleRows() const;
    void InvalidateRect(const QRect& Rect);

    int FColCount = 5;
    int FRowCount = 5;
    int FFixedCols = 1;
    int FFixedRows = 1;
    int FDefaultColWidth = 64;
    int FDefaultRowHeight = 24;
    QList<int> FColWidths;
    int FGridLineWidth = 1;
    QColor FColor;
    QColor FFixedColor;
    bool FDefaultDrawing = true;
    int FTopRow = 1;
    int FLeftCol = 1;
    TGridCanvas FCanvas;
};

// A grid whose cells the application draws in OnDrawCell.
class TDrawGrid : public TCustomGrid {
    Q_OBJECT

public:
    explicit TDrawGrid(QWidget* Parent = nullptr);

signals:
    void OnDrawCell(QObject* Sender, int ACol, int ARow, const QRect& Rect, TGridDrawState State);

protected:
    void DrawCell(int ACol, int ARow, const QRect& Rect, TGridDrawState State) override;
};
