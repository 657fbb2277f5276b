/// \file
/// The framework's grid control TCustomGrid, on which both of the library's grids are built, its
/// options, the canvas its cells are drawn on, and the draw grid TDrawGrid.
#pragma once

#include <zq/framework/Events.h>
#include <zq/framework/Exceptions.h>
#include <zq/framework/Export.h>

#include <QAbstractScrollArea>
#include <QColor>
#include <QFont>
#include <QHash>
#include <QList>
#include <QRect>

#include <climits>
#include <memory>

class QPainter;
class TGridCanvasPrivate;
class TCustomGridPrivate;
class TDrawGridPrivate;

namespace Exceptions {
/// Raised by a grid for what it refuses: a fixed count that is negative or not below its total
/// ("Fixed column count must be less than column count", "Fixed row count must be less than row
/// count"), and a cell or column outside the grid ("Grid index out of range").
ZQ_DECLARE_EXCEPTION(EInvalidGridOperation, Exception)
}

/// How a cell is to be drawn: the flags of a TGridDrawState.
enum TGridDrawStateFlag {
    gdSelected = 0x1, ///< In the selection: drawn with the highlight colours.
    gdFocused = 0x2,  ///< The current cell while the grid has the focus.
    gdFixed = 0x4     ///< In a fixed (title) column or row.
};
/// The state a cell is drawn in, passed to DrawCell and to OnDrawCell handlers.
Q_DECLARE_FLAGS(TGridDrawState, TGridDrawStateFlag)
Q_DECLARE_OPERATORS_FOR_FLAGS(TGridDrawState)

/// A cell's coordinates, counted from 0 at the top left, fixed cells included.
struct TGridCoord {
    int X = 0; ///< The column.
    int Y = 0; ///< The row.
    /// Whether both the column and the row are equal.
    bool operator==(const TGridCoord& O) const { return X == O.X && Y == O.Y; }
};

/// A rectangle of cells, its edges included: columns Left to Right, rows Top to Bottom.
struct TGridRect {
    /// The first and last column and row of the rectangle.
    ///@{
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    ///@}
    /// Whether cell (ACol, ARow) lies in the rectangle.
    bool Contains(int ACol, int ARow) const { return ACol >= Left && ACol <= Right && ARow >= Top && ARow <= Bottom; }
};

/// Asked whether a cell may become the current cell: (Sender, ACol, ARow, CanSelect). CanSelect
/// arrives true; a handler that sets it to false keeps the current cell where it is.
using TSelectCellEvent = TEvent<QObject*, int, int, bool&>;
/// Told that a cell has been drawn: (Sender, ACol, ARow, Rect, State), Rect being the cell's
/// rectangle in client coordinates. The handler may draw more on the grid's canvas.
using TDrawCellEvent = TEvent<QObject*, int, int, const QRect&, TGridDrawState>;
/// Told of a character typed into a grid before the grid acts on it: (Sender, Key). The handler
/// may change the key, or consume it by setting it to QChar(0).
using TKeyPressEvent = TEvent<QObject*, QChar&>;

/// The canvas a grid's cells are drawn on while it paints: what DrawCell, and the handlers of
/// OnDrawCell through TCustomGrid::CellCanvas(), write with. Before each cell the paint loop sets
/// its font and colours for the cell's state.
///
/// It measures with metrics made once per font, and keeps what it learnt of each text it wrote
/// (its width, and once the text is met again its laid-out glyphs) for the next paints, so that
/// a repaint of what is shown lays out nothing anew. It fills a rectangle that it has just filled
/// with the same colour only once.
class ZQ_EXPORT TGridCanvas {
public:
    /// What cells are filled with: only a colour.
    struct TBrush { QColor Color; /**< The colour. */ };

    /// An empty canvas, outside a paint; a grid makes its own.
    TGridCanvas();
    /// Forgets what it learnt of the texts it wrote.
    ~TGridCanvas();

    /// What FillRect() and TextRect() fill with; set its Color before filling.
    ///@{
    TBrush& Brush();
    const TBrush& Brush() const;
    ///@}
    /// The font that texts are measured and written in: the grid's font.
    ///@{
    const QFont& Font() const;
    void SetFont(const QFont& Value);
    ///@}
    /// The colour of written text: the highlighted-text colour in a selected cell.
    ///@{
    const QColor& FontColor() const;
    void SetFontColor(const QColor& Value);
    ///@}

    /// The width in pixels of Text in Font().
    int TextWidth(const QString& Text) const;
    /// The height in pixels of a line in Font(), whatever Text holds.
    int TextHeight(const QString& Text) const;
    /// Fills Rect with the brush. Only while a paint is under way (Painter() is not null).
    void FillRect(const QRect& Rect);
    /// Fills Rect with the brush and writes Text with its top left corner at (X, Y), clipped to Rect.
    /// Only while a paint is under way.
    void TextRect(const QRect& Rect, int X, int Y, const QString& Text);

    /// The painter of the paint under way, null outside one; drawing with it directly is allowed.
    QPainter* Painter();
    /// The grid's paint loop brackets its drawing with these; a program does not call them.
    ///@{
    void BeginPaint(QPainter* Painter);
    void EndPaint();
    ///@}

private:
    // The fields, in framework/Grids_p.h: they can change without changing the size of the class.
    friend class TGridCanvasPrivate;
    std::unique_ptr<TGridCanvasPrivate> const d;
};

/// A grid of cells in columns and rows, the first FixedCols columns and FixedRows rows being fixed
/// titles: the base of ZQ::TZQBitGrid, TZQDataGrid and TDrawGrid. A derived grid implements
/// DrawCell() and may refuse moves in SelectCell().
///
/// It keeps a current cell outside the fixed area, moved by keys and mouse after asking
/// SelectCell, scrolls by whole rows and columns, and paints only the visible cells through the
/// overridable DrawCell. Rows all have the default height and columns the default width unless
/// given one, so any number of rows or columns costs nothing. Positions are summed in 64 bits: no
/// width, height or count can overflow them. Coordinates of cells are column first (ACol, ARow),
/// counted from 0 at the top left, fixed cells included; sizes are in pixels.
class ZQ_EXPORT TCustomGrid : public QAbstractScrollArea {
    Q_OBJECT

public:
    // Declared inside the class so that the meta-object system, and with it a form designer,
    // knows their names: check boxes for the options, a drop-down for the scroll bars.
    /// The options of a grid, combined into its Options(); also at global scope (goRowSelect).
    enum TGridOption {
        goFixedVertLine = 0x1, ///< Vertical lines between fixed cells.
        goFixedHorzLine = 0x2, ///< Horizontal lines between fixed cells.
        goVertLine = 0x4,      ///< Vertical lines between the other cells.
        goHorzLine = 0x8,      ///< Horizontal lines between the other cells.
        /// Shift with a move key or the mouse, or a drag, selects a rectangle of cells from the
        /// anchor to the current cell.
        goRangeSelect = 0x10,
        /// The current cell is highlighted also while the grid has the focus, inside its focus
        /// rectangle.
        goDrawFocusSelected = 0x20,
        /// The user sizes a column by dragging its right border (right to left, its left border)
        /// within the fixed rows.
        goColSizing = 0x80,
        /// Cells are edited in place: F2 or Enter shows the editor, Enter or Escape hides it.
        goEditing = 0x400,
        /// Tab and Shift+Tab move the current cell, on to the next or previous row at a row's
        /// end, instead of the focus.
        goTabs = 0x800,
        /// Whole rows are selected and highlighted, and the focus rectangle surrounds the visible
        /// part of the current row.
        goRowSelect = 0x1000,
        /// With goEditing, the editor is shown in every cell that becomes current.
        goAlwaysShowEditor = 0x2000,
    };
    /// A set of TGridOption.
    Q_DECLARE_FLAGS(TGridOptions, TGridOption)
    Q_FLAG(TGridOptions)
    /// Which scroll bars a grid shows while its cells do not fit. The type is also at global scope
    /// (TScrollStyle), the values only here (TCustomGrid::ssBoth).
    enum TScrollStyle {
        ssNone,       ///< Neither.
        ssHorizontal, ///< Only the horizontal one.
        ssVertical,   ///< Only the vertical one.
        ssBoth        ///< Both.
    };
    Q_ENUM(TScrollStyle)
    /// Which way the grid runs: the same setting as Qt's layoutDirection, with two more ways of
    /// being right to left. The type is also at global scope (TBiDiMode), the values only here
    /// (TCustomGrid::bdRightToLeft).
    enum TBiDiMode {
        bdLeftToRight, ///< Left to right: Qt::LeftToRight.
        /// Qt::RightToLeft: the columns run from the right edge leftwards, the fixed columns at
        /// the right; the cells' alignment is mirrored and texts read right to left.
        bdRightToLeft,
        /// Qt::RightToLeft with the columns mirrored and texts read right to left, but each cell
        /// aligned as left to right.
        bdRightToLeftNoAlign,
        /// Qt::LeftToRight for the layout and the alignment; only texts, and the in-place editor,
        /// read right to left.
        bdRightToLeftReadingOnly
    };
    Q_ENUM(TBiDiMode)

private:
    Q_PROPERTY(int DefaultColWidth READ DefaultColWidth WRITE SetDefaultColWidth) ///< Default 64.
    Q_PROPERTY(int DefaultRowHeight READ DefaultRowHeight WRITE SetDefaultRowHeight) ///< Default 24.
    Q_PROPERTY(int GridLineWidth READ GridLineWidth WRITE SetGridLineWidth) ///< Default 1.
    /// Default: the palette's base colour, following the palette until set.
    Q_PROPERTY(QColor Color READ Color WRITE SetColor)
    /// Default: the palette's button colour, following the palette until set.
    Q_PROPERTY(QColor FixedColor READ FixedColor WRITE SetFixedColor)
    Q_PROPERTY(bool DefaultDrawing READ DefaultDrawing WRITE SetDefaultDrawing) ///< Default true.
    /// The column widths as a window description stores them: blank-separated, first column first.
    Q_PROPERTY(QString ColWidthList READ ColWidthList WRITE SetColWidthList)
    /// Default: the four kinds of lines and goRangeSelect.
    Q_PROPERTY(TGridOptions Options READ Options WRITE SetOptions)
    Q_PROPERTY(TScrollStyle ScrollBars READ ScrollBars WRITE SetScrollBars) ///< Default ssBoth.
    /// Default: bdRightToLeft when the grid's layoutDirection is right to left, else bdLeftToRight.
    Q_PROPERTY(TBiDiMode BiDiMode READ BiDiMode WRITE SetBiDiMode)
    /// Default true. Not stored: it is whether layoutDirection is the grid's own.
    Q_PROPERTY(bool ParentBiDiMode READ ParentBiDiMode WRITE SetParentBiDiMode STORED false)
    Q_PROPERTY(int VisibleColCount READ VisibleColCount STORED false) ///< Read-only, not stored.
    Q_PROPERTY(int VisibleRowCount READ VisibleRowCount STORED false) ///< Read-only, not stored.
    /// Default Qt::ElideNone: a text wider than its cell is clipped.
    Q_PROPERTY(Qt::TextElideMode textElideMode READ TextElideMode WRITE SetTextElideMode)
    Q_PROPERTY(bool ShowHint READ ShowHint WRITE SetShowHint) ///< Default false.

public:
    /// A grid of 5 columns and 5 rows, one of each fixed, with the current cell at (1, 1).
    explicit TCustomGrid(QWidget* Parent = nullptr);
    /// Destroys the grid with its in-place editor.
    ~TCustomGrid() override;

    /// The number of columns, fixed ones included. Counts below 1 are raised to 1, and a count
    /// not above FixedCols() lowers FixedCols() to one less. The widths of columns that go are
    /// forgotten; the current cell moves into the columns that are left.
    ///@{
    int ColCount() const;
    void SetColCount(int Value);
    ///@}
    /// One more than the largest row index, so that row INT_MAX can exist: the largest RowCount().
    static constexpr qint64 MaxRowCount = qint64(INT_MAX) + 1;
    /// The number of rows, fixed ones included, held between 1 and MaxRowCount. A count not
    /// above FixedRows() lowers FixedRows() to one less; the current cell moves up into the rows
    /// that are left.
    ///@{
    qint64 RowCount() const;
    void SetRowCount(qint64 Value);
    ///@}
    /// The number of fixed (title) columns at the left (right to left, at the right), which the
    /// current cell never enters.
    /// Raises Exceptions::EInvalidGridOperation for a count that is negative or not below
    /// ColCount().
    ///@{
    int FixedCols() const;
    void SetFixedCols(int Value);
    ///@}
    /// The number of fixed (title) rows at the top, which the current cell never enters.
    /// Raises Exceptions::EInvalidGridOperation for a count that is negative or not below
    /// RowCount().
    ///@{
    int FixedRows() const;
    void SetFixedRows(int Value);
    ///@}

    /// The width of every column not given one of its own; negative values are raised to 0.
    /// Setting it forgets the widths of single columns.
    ///@{
    int DefaultColWidth() const;
    void SetDefaultColWidth(int Value);
    ///@}
    /// The height of every row; values below 1 are raised to 1.
    ///@{
    int DefaultRowHeight() const;
    void SetDefaultRowHeight(int Value);
    ///@}
    /// The width of column ACol: its own, or DefaultColWidth().
    int ColWidths(int ACol) const;
    /// Gives column ACol a width of its own. Negative widths are raised to 0.
    /// Raises Exceptions::EInvalidGridOperation for a column outside 0 to ColCount() - 1.
    void SetColWidths(int ACol, int Value);
    /// The column widths, blank-separated and first column first, up to the last column with a
    /// width of its own.
    QString ColWidthList() const;
    /// Sets the widths from a list such as ColWidthList() gives.
    /// Widths for columns the grid does not have yet are kept until the columns come: a window
    /// description may give the widths before what makes the columns.
    void SetColWidthList(const QString& Widths);
    /// Whether a window description gave the grid its column widths.
    bool ColWidthsStreamed() const;
    /// The width of the lines between cells, 0 for none; negative values are raised to 0.
    ///@{
    int GridLineWidth() const;
    void SetGridLineWidth(int Value);
    ///@}

    /// The background of the cells that are neither fixed nor selected, and of the client area
    /// beyond the last cells. Until a program sets it, it is the palette's base colour and follows
    /// changes of the palette and the style, as the highlight and the text colours always do.
    ///@{
    QColor Color() const;
    void SetColor(const QColor& Value);
    ///@}
    /// The background of the fixed cells. Until a program sets it, it is the palette's button
    /// colour and follows changes of the palette and the style.
    ///@{
    QColor FixedColor() const;
    void SetFixedColor(const QColor& Value);
    ///@}
    /// Whether the grid fills each cell with its colour before DrawCell() and writes the cell's
    /// text. When off, the handler of OnDrawCell draws every cell, on the grid's Color().
    ///@{
    bool DefaultDrawing() const;
    void SetDefaultDrawing(bool Value);
    ///@}
    /// The grid's options. Without goRangeSelect the selection is the current cell alone;
    /// without goEditing the editor is hidden.
    ///@{
    TGridOptions Options() const;
    void SetOptions(TGridOptions Value);
    ///@}
    /// Which scroll bars the grid shows while its cells do not fit. It is the same setting as Qt's
    /// scroll-bar policies, seen another way: a bar whose policy is Qt::ScrollBarAlwaysOff is not
    /// in ScrollBars(), and setting ScrollBars() switches a bar off, or on as needed, leaving a bar
    /// that is already on (as needed or always) as it is. Scrolling changes neither.
    ///@{
    TScrollStyle ScrollBars() const;
    void SetScrollBars(TScrollStyle Value);
    ///@}
    /// Which way the grid runs. It is Qt's layoutDirection seen another way, as the scroll bars
    /// are: setting bdRightToLeft or bdRightToLeftNoAlign sets the grid's layoutDirection to
    /// Qt::RightToLeft, the two others to Qt::LeftToRight, and the grid follows every change of
    /// its direction, from its parent or from QApplication::setLayoutDirection() (`-reverse`)
    /// while ParentBiDiMode() holds. Reading gives bdRightToLeft whenever the grid is right to
    /// left (QWidget::isRightToLeft()) unless bdRightToLeftNoAlign was set, and
    /// bdRightToLeftReadingOnly only while the direction it set lasts. Right to left mirrors what
    /// QTableView mirrors: the columns, the lines, the focus rectangle, the in-place editor, the
    /// hit-testing, the sizing of columns by their left border, and the Left and Right keys.
    ///@{
    TBiDiMode BiDiMode() const;
    void SetBiDiMode(TBiDiMode Value);
    ///@}
    /// Whether the grid takes its direction from its parent (or the application): true while no
    /// layoutDirection of its own is set. Setting it true unsets the grid's own direction and
    /// with it what BiDiMode() set; setting it false keeps the present direction as the grid's own.
    ///@{
    bool ParentBiDiMode() const;
    void SetParentBiDiMode(bool Value);
    ///@}
    /// Where a text TextWidth pixels wide starts within Rect, aligned as Alignment says
    /// (Qt::AlignLeft, Qt::AlignRight or Qt::AlignHCenter) and Margin pixels in from the edge it
    /// is aligned to. With BiDiMode() bdRightToLeft, left and right change places unless
    /// Alignment holds Qt::AlignAbsolute, as QStyle::visualAlignment() has it. What DrawCell()
    /// and the handlers of OnDrawCell place their texts with.
    int AlignedTextX(const QRect& Rect, int TextWidth, Qt::Alignment Alignment, int Margin = 0) const;

    /// The column of the current cell; moving it asks SelectCell(), which may refuse. Raises
    /// Exceptions::EInvalidGridOperation for a fixed column or one outside the grid.
    ///@{
    int Col() const;
    void SetCol(int Value);
    ///@}
    /// The row of the current cell; moving it asks SelectCell(), which may refuse. Raises
    /// Exceptions::EInvalidGridOperation for a fixed row or one outside the grid.
    ///@{
    int Row() const;
    void SetRow(int Value);
    ///@}
    /// Makes (ACol, ARow) the current cell if SelectCell() allows, and scrolls it into view.
    /// MoveAnchor false keeps the selection's anchor, so that with goRangeSelect the selection
    /// stretches from the anchor to the new cell. Raises Exceptions::EInvalidGridOperation for a
    /// fixed cell or one outside the grid.
    void FocusCell(int ACol, int ARow, bool MoveAnchor = true);
    /// The selected cells: from the anchor to the current cell, which is part of them; with
    /// goRowSelect the whole rows, fixed columns left out. After SelectAll(), every scrolling cell.
    TGridRect Selection() const;
    /// Selects every scrolling cell, as Ctrl+A does, with goRangeSelect only; the current cell
    /// and the view stay where they are. The selection holds all the cells until the current cell
    /// next moves, the user clicks a cell, or a count or goRangeSelect changes; then it is again
    /// the rectangle from the anchor to the current cell.
    void SelectAll();
    /// The largest number of cells CopyToClipboard() copies: a selection of all the rows of a large
    /// grid would otherwise take the program's time and memory for one key.
    static constexpr qint64 MaxCopiedCells = 1000000;
    /// Puts the selected scrolling cells (fixed cells left out) on the clipboard, as Ctrl+C does:
    /// as text/plain, CellDisplayText() of each cell, tab-separated, one line per row; and as
    /// text/html, a table of the same texts. A selection of more than MaxCopiedCells cells is
    /// refused with a beep, the clipboard left as it was. Returns whether it copied.
    bool CopyToClipboard();

    /// The first scrollable row shown below the fixed rows, held between FixedRows() and the
    /// last row from which the view is still full.
    ///@{
    int TopRow() const;
    void SetTopRow(int Value);
    ///@}
    /// The first scrollable column shown next to the fixed columns (right of them, or left of
    /// them right to left), held between FixedCols() and the last column from which the view is
    /// still full.
    ///@{
    int LeftCol() const;
    void SetLeftCol(int Value);
    ///@}
    /// Scrollable rows (columns) that fit wholly in the client area.
    ///@{
    int VisibleRowCount() const;
    int VisibleColCount() const;
    ///@}

    /// The cell's rectangle in client coordinates, mirrored right to left; empty when the cell is
    /// not visible.
    QRect CellRect(int ACol, int ARow) const;
    /// The cell under a client point, mirrored right to left; (-1, -1) when there is none.
    TGridCoord MouseCoord(int X, int Y) const;
    /// The client area: the part inside the border and the scroll bars.
    QSize ClientSize() const;
    /// Resizes the grid so that its client area becomes Width by Height.
    void SetClientSize(int Width, int Height);

    /// Repaint one cell, one row, one column or the whole grid at the next paint; what is not
    /// visible is left alone.
    ///@{
    void InvalidateCell(int ACol, int ARow);
    void InvalidateRow(int ARow);
    void InvalidateCol(int ACol);
    void InvalidateGrid();
    ///@}

    /// The text cell (ACol, ARow) shows, for what reads a grid other than its painting: screen
    /// readers, the clipboard, tooltips and the fitting of a column to its texts. Empty for a cell
    /// outside the grid or one that shows no text. A grid gives its texts by answering
    /// CellTextHook in virtual_hook(); this class and TDrawGrid give none.
    QString CellDisplayText(int ACol, int ARow) const;

    /// How a text wider than the room of its cell (its width less the grid's margins) is drawn:
    /// with Qt::ElideNone placed by its full width and clipped to the cell; otherwise shortened to
    /// the room with "…" at the end (Qt::ElideRight), the start (Qt::ElideLeft) or the middle
    /// (Qt::ElideMiddle), as QFontMetrics::elidedText() does.
    ///@{
    Qt::TextElideMode TextElideMode() const;
    void SetTextElideMode(Qt::TextElideMode Value);
    ///@}
    /// Whether the pointer resting on a cell whose text does not fit the cell's room shows the
    /// whole text in a tooltip. Cells whose texts fit show none.
    ///@{
    bool ShowHint() const;
    void SetShowHint(bool Value);
    ///@}

    /// Whether the in-place editor is shown.
    bool EditorMode() const;
    /// Shows the in-place editor over the current cell, holding GetEditText() of the cell;
    /// only with goEditing.
    void ShowEditor();
    /// Hides the in-place editor; the grid takes back the focus the editor had.
    void HideEditor();

    /// Whether the grid is being read from a window description: from BeginLoading() until
    /// Loaded().
    bool Loading() const;
    /// Starts reading the grid from a window description.
    void BeginLoading();
    /// Ends reading the grid from a window description. A derived grid applies what it read
    /// after calling this.
    virtual void Loaded();

    /// The canvas of the cell being drawn, for the handlers of OnDrawCell.
    TGridCanvas& CellCanvas();

    /// Told of each character typed into the grid, before the grid acts on it (see KeyPress()).
    ///@{
    const TKeyPressEvent& OnKeyPress() const;
    void SetOnKeyPress(const TKeyPressEvent& Value);
    ///@}
    /// Told of a double-click on the grid, after the grid's own handling (see DblClick()).
    ///@{
    const TNotifyEvent& OnDblClick() const;
    void SetOnDblClick(const TNotifyEvent& Value);
    ///@}
    /// Asked before a cell becomes the current cell, by SelectCell(); may refuse it.
    ///@{
    const TSelectCellEvent& OnSelectCell() const;
    void SetOnSelectCell(const TSelectCellEvent& Value);
    ///@}

Q_SIGNALS:
    /// The current cell moved, by the user, by a program or because the counts shrank under it.
    void currentCellChanged(int ACol, int ARow);

public:

    /// A character typed, as if by the user: calls OnKeyPress, then, without goAlwaysShowEditor,
    /// Enter shows or hides the editor and is consumed (set to QChar(0)). A derived grid acts on
    /// the key as this left it.
    virtual void KeyPress(QChar& Key);
    /// A double-click, as if by the user: calls OnDblClick.
    virtual void DblClick();

protected:
    /// Draws cell (ACol, ARow), whose rectangle in client coordinates is Rect. Called by the
    /// paint loop for every visible cell, once the canvas (Canvas()) has the grid's font and the
    /// colours for State and, with DefaultDrawing(), the cell is filled.
    virtual void DrawCell(int ACol, int ARow, const QRect& Rect, TGridDrawState State) = 0;
    /// Whether cell (ACol, ARow) may become the current cell; asked before every move of it.
    /// This one asks OnSelectCell() when it is assigned, CanSelect arriving true, and otherwise
    /// allows every cell.
    virtual bool SelectCell(int ACol, int ARow);
    /// The text the in-place editor starts with in a cell; empty here.
    virtual QString GetEditText(int ACol, int ARow);
    /// Told of every edit of the in-place editor's text in a cell; ignored here.
    virtual void SetEditText(int ACol, int ARow, const QString& Value);
    /// The canvas of the cell being drawn, for DrawCell().
    TGridCanvas& Canvas();

    /// Paints the visible cells within the event's region through DrawCell(), the lines
    /// between them and, with the focus, the focus rectangle.
    void paintEvent(QPaintEvent* Event) override;
    /// Keeps the view and the scroll bars within the new size.
    void resizeEvent(QResizeEvent* Event) override;
    /// Moves the current cell by the arrows, Page Up and Page Down, Home and End (with Ctrl, to
    /// the first or last row) and, with goTabs, Tab; Shift with goRangeSelect stretches the
    /// selection. F2 shows the editor and Escape hides it; a printable character or Enter goes to
    /// KeyPress(). Ctrl+C (QKeySequence::Copy) calls CopyToClipboard(), and with goRangeSelect
    /// Ctrl+A (QKeySequence::SelectAll) calls SelectAll().
    void keyPressEvent(QKeyEvent* Event) override;
    /// Takes the focus; the left button starts sizing a column at its border (goColSizing) or
    /// makes the cell under the pointer current, Shift stretching the selection.
    void mousePressEvent(QMouseEvent* Event) override;
    /// Sizes the column being dragged, to no less than 4 pixels; with the left button held and
    /// goRangeSelect, stretches the selection to the cell under the pointer.
    void mouseMoveEvent(QMouseEvent* Event) override;
    /// Ends the sizing of a column.
    void mouseReleaseEvent(QMouseEvent* Event) override;
    /// Calls DblClick(); on a column border that goColSizing lets the user drag, fits the column
    /// to the widest text of the visible rows instead (see CellDisplayText() and TextMarginsHook).
    void mouseDoubleClickEvent(QMouseEvent* Event) override;
    /// Follows the scroll bars, which count rows and columns, not pixels.
    void scrollContentsBy(int DX, int DY) override;
    /// The current cell (with goRowSelect its row) is drawn differently with the focus: these
    /// repaint it.
    ///@{
    void focusInEvent(QFocusEvent* Event) override;
    void focusOutEvent(QFocusEvent* Event) override;
    ///@}
    /// With goTabs, keeps Tab and Shift+Tab for the grid instead of moving the focus.
    bool focusNextPrevChild(bool Next) override;
    /// On a change of the palette or the style, takes the colours the program has not set from
    /// the new palette, and repaints; on a change of the layout direction, repaints mirrored or
    /// not and moves the in-place editor.
    void changeEvent(QEvent* Event) override;
    /// Reserved: lets a later version add a virtual function without changing the virtual table.
    /// This one does nothing; an override passes the Ids it does not know to its base.
    virtual void virtual_hook(int Id, void* Data);
    /// The Ids virtual_hook() is called with.
    enum THookId {
        /// Data is a TCellTextQuery: fill in its Text (CellDisplayText()).
        CellTextHook = 1,
        /// Data is a TTextMarginsQuery: fill in the pixels the grid leaves beside a cell's text.
        /// The fitting of a column and the tooltips take the room of a text from it.
        TextMarginsHook = 2,
    };
    /// What CellTextHook asks.
    struct TCellTextQuery {
        int ACol;     ///< The cell's column, within the grid.
        int ARow;     ///< The cell's row, within the grid.
        QString Text; ///< Arrives empty; the answer.
    };
    /// What TextMarginsHook asks.
    struct TTextMarginsQuery {
        int ACol;      ///< The cell's column, within the grid.
        int ARow;      ///< The cell's row, within the grid.
        int Left = 0;  ///< Arrives 0; the pixels left of the text.
        int Right = 0; ///< Arrives 0; the pixels right of the text.
    };

private:
    friend class TCustomGridPrivate;
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
    qint64 ColExtent(int ACol) const;
    qint64 RowExtent() const;
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

    // The fields, in framework/Grids_p.h; each class of the hierarchy has its own.
    std::unique_ptr<TCustomGridPrivate> const d;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TCustomGrid::TGridOptions)

/// The option set, the scroll style and the direction at global scope, as a program names them.
///@{
using TGridOption = TCustomGrid::TGridOption;
using TGridOptions = TCustomGrid::TGridOptions;
using TScrollStyle = TCustomGrid::TScrollStyle;
using TBiDiMode = TCustomGrid::TBiDiMode;
///@}
/// The options at global scope: goRowSelect for TCustomGrid::goRowSelect.
///@{
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
///@}

/// A grid whose cells the application draws in its OnDrawCell handler.
class ZQ_EXPORT TDrawGrid : public TCustomGrid {
    Q_OBJECT
    Q_PROPERTY(int ColCount READ ColCount WRITE SetColCount) ///< Default 5.
    Q_PROPERTY(qint64 RowCount READ RowCount WRITE SetRowCount) ///< Default 5.
    Q_PROPERTY(int FixedCols READ FixedCols WRITE SetFixedCols) ///< Default 1.
    Q_PROPERTY(int FixedRows READ FixedRows WRITE SetFixedRows) ///< Default 1.

public:
    /// A draw grid with the defaults of TCustomGrid.
    explicit TDrawGrid(QWidget* Parent = nullptr);
    /// Destroys the grid.
    ~TDrawGrid() override;

Q_SIGNALS:
    /// Draws a cell: emitted for every visible cell once the canvas (CellCanvas()) is prepared
    /// for it.
    void OnDrawCell(QObject* Sender, int ACol, int ARow, const QRect& Rect, TGridDrawState State);

protected:
    /// Emits OnDrawCell.
    void DrawCell(int ACol, int ARow, const QRect& Rect, TGridDrawState State) override;

private:
    friend class TDrawGridPrivate;
    std::unique_ptr<TDrawGridPrivate> const d;
};
