#include "framework/Grids.h"

#include "framework/Application.h"
#include "framework/StringTable.h"

#include <QCursor>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace {

constexpr int SizingMargin = 3; // pixels either side of a column border that start sizing
constexpr int MinColWidth = 4;

[[noreturn]] void InvalidOperation(TFrameworkString Message)
{
    throw EInvalidGridOperation(FrameworkString(Message));
}

} // namespace

int TGridCanvas::TextWidth(const QString& Text) const
{
    return QFontMetrics(Font).horizontalAdvance(Text);
}

int TGridCanvas::TextHeight(const QString&) const
{
    return QFontMetrics(Font).height();
}

void TGridCanvas::FillRect(const QRect& Rect)
{
    Painter->fillRect(Rect, Brush.Color);
}

void TGridCanvas::TextRect(const QRect& Rect, int X, int Y, const QString& Text)
{
    FillRect(Rect);
    if (FOnText)
        FOnText(Rect, X, Y, Text);
    Painter->save();
    Painter->setClipRect(Rect);
    Painter->setFont(Font);
    Painter->setPen(FontColor);
    Painter->drawText(QPoint(X, Y + QFontMetrics(Font).ascent()), Text);
    Painter->restore();
}

TCustomGrid::TCustomGrid(QWidget* Parent) : QAbstractScrollArea(Parent)
{
    FColor = palette().color(QPalette::Base);
    FFixedColor = palette().color(QPalette::Button);
    FColWidths = QList<int>(FColCount, FDefaultColWidth);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setMouseTracking(true);
    verticalScrollBar()->setSingleStep(1);
    horizontalScrollBar()->setSingleStep(1);
    UpdateScrollBars();
}

TCustomGrid::~TCustomGrid() = default;

// Counts and fixed counts ------------------------------------------------------------------------

void TCustomGrid::SetColCount(int Value)
{
    Value = std::max(Value, 1);
    if (Value == FColCount)
        return;
    if (Value <= FFixedCols)
        FFixedCols = Value - 1;
    FColWidths.resize(Value, FDefaultColWidth);
    FColCount = Value;
    FCurrent.X = std::clamp(FCurrent.X, FFixedCols, FColCount - 1);
    FAnchor.X = std::clamp(FAnchor.X, FFixedCols, FColCount - 1);
    FLeftCol = std::clamp(FLeftCol, FFixedCols, MaxLeftCol());
    UpdateScrollBars();
    InvalidateGrid();
}

void TCustomGrid::SetRowCount(int Value)
{
    Value = std::max(Value, 1);
    if (Value == FRowCount)
        return;
    if (Value <= FFixedRows)
        FFixedRows = Value - 1;
    const int OldCount = FRowCount;
    FRowCount = Value;
    FCurrent.Y = std::clamp(FCurrent.Y, FFixedRows, FRowCount - 1);
    FAnchor.Y = std::clamp(FAnchor.Y, FFixedRows, FRowCount - 1);
    const int OldTop = FTopRow;
    FTopRow = std::clamp(FTopRow, FFixedRows, MaxTopRow());
    UpdateScrollBars();
    // Only the rows that appear or disappear need painting, unless the view moved.
    if (FTopRow != OldTop) {
        InvalidateGrid();
        return;
    }
    const int First = std::min(OldCount, FRowCount);
    for (const TSpan& Row : VisibleRows())
        if (Row.Index >= First - 1 && Row.Index >= FFixedRows) {
            InvalidateRect(QRect(0, Row.Start, ClientSize().width(), ClientSize().height() - Row.Start));
            return;
        }
    const QList<TSpan> Rows = VisibleRows();
    if (!Rows.isEmpty() && Rows.last().Index < First - 1)
        return;
    const int Bottom = Rows.isEmpty() ? 0 : Rows.last().Start + Rows.last().Size + FGridLineWidth;
    InvalidateRect(QRect(0, Bottom, ClientSize().width(), ClientSize().height() - Bottom));
}

void TCustomGrid::SetFixedCols(int Value)
{
    if (Value == FFixedCols)
        return;
    if (Value < 0 || Value >= FColCount)
        InvalidOperation(SFixedColTooBig);
    FFixedCols = Value;
    FCurrent.X = std::max(FCurrent.X, FFixedCols);
    FAnchor.X = std::max(FAnchor.X, FFixedCols);
    FLeftCol = std::clamp(FLeftCol, FFixedCols, MaxLeftCol());
    UpdateScrollBars();
    InvalidateGrid();
}

void TCustomGrid::SetFixedRows(int Value)
{
    if (Value == FFixedRows)
        return;
    if (Value < 0 || Value >= FRowCount)
        InvalidOperation(SFixedRowTooBig);
    FFixedRows = Value;
    FCurrent.Y = std::max(FCurrent.Y, FFixedRows);
    FAnchor.Y = std::max(FAnchor.Y, FFixedRows);
    FTopRow = std::clamp(FTopRow, FFixedRows, MaxTopRow());
    UpdateScrollBars();
    InvalidateGrid();
}

// Sizes and looks ---------------------------------------------------------------------------------

void TCustomGrid::SetDefaultColWidth(int Value)
{
    if (Value == FDefaultColWidth)
        return;
    FDefaultColWidth = Value;
    FColWidths.fill(Value);
    UpdateScrollBars();
    InvalidateGrid();
}

void TCustomGrid::SetDefaultRowHeight(int Value)
{
    if (Value == FDefaultRowHeight)
        return;
    FDefaultRowHeight = std::max(Value, 1);
    FTopRow = std::clamp(FTopRow, FFixedRows, MaxTopRow());
    UpdateScrollBars();
    PlaceEditor();
    InvalidateGrid();
}

int TCustomGrid::ColWidths(int ACol) const
{
    return ACol >= 0 && ACol < FColCount ? FColWidths[ACol] : FDefaultColWidth;
}

void TCustomGrid::SetColWidths(int ACol, int Value)
{
    if (ACol < 0 || ACol >= FColCount)
        InvalidOperation(SIndexOutOfRange);
    if (FColWidths[ACol] == Value)
        return;
    FColWidths[ACol] = Value;
    UpdateScrollBars();
    PlaceEditor();
    InvalidateGrid();
}

QString TCustomGrid::ColWidthList() const
{
    QStringList Widths;
    for (int Width : FColWidths)
        Widths << QString::number(Width);
    return Widths.join(u' ');
}

void TCustomGrid::SetColWidthList(const QString& Widths)
{
    const QStringList Items = Widths.split(u' ', Qt::SkipEmptyParts);
    for (int I = 0; I < Items.size() && I < FColCount; ++I)
        SetColWidths(I, Items[I].toInt());
}

void TCustomGrid::SetGridLineWidth(int Value)
{
    if (Value == FGridLineWidth)
        return;
    FGridLineWidth = std::max(Value, 0);
    UpdateScrollBars();
    InvalidateGrid();
}

void TCustomGrid::SetColor(const QColor& Value)
{
    if (Value == FColor)
        return;
    FColor = Value;
    InvalidateGrid();
}

void TCustomGrid::SetFixedColor(const QColor& Value)
{
    if (Value == FFixedColor)
        return;
    FFixedColor = Value;
    InvalidateGrid();
}

void TCustomGrid::SetDefaultDrawing(bool Value)
{
    if (Value == FDefaultDrawing)
        return;
    FDefaultDrawing = Value;
    InvalidateGrid();
}

void TCustomGrid::SetOptions(TGridOptions Value)
{
    if (Value == FOptions)
        return;
    FOptions = Value;
    if (!(FOptions & goRangeSelect))
        FAnchor = FCurrent;
    if ((FOptions & goAlwaysShowEditor) && (FOptions & goEditing))
        ShowEditor();
    else if (!(FOptions & goEditing))
        HideEditor();
    InvalidateGrid();
}

void TCustomGrid::SetScrollBars(TScrollStyle Value)
{
    FScrollBars = Value;
    UpdateScrollBars();
}

// Geometry ----------------------------------------------------------------------------------------

QSize TCustomGrid::ClientSize() const
{
    // A hidden scroll area lays out its viewport only when it is shown.
    return isVisible() ? viewport()->size() : maximumViewportSize();
}

void TCustomGrid::SetClientSize(int Width, int Height)
{
    const QMargins Frame = contentsMargins();
    resize(Width + Frame.left() + Frame.right(), Height + Frame.top() + Frame.bottom());
}

int TCustomGrid::FixedWidth() const
{
    int Width = 0;
    for (int Col = 0; Col < FFixedCols; ++Col)
        Width += FColWidths[Col] + FGridLineWidth;
    return Width;
}

int TCustomGrid::FixedHeight() const
{
    return FFixedRows * (FDefaultRowHeight + FGridLineWidth);
}

int TCustomGrid::VisibleRowCount() const
{
    const int Room = ClientSize().height() - FixedHeight();
    const int Fit = Room > 0 ? (Room + FGridLineWidth) / (FDefaultRowHeight + FGridLineWidth) : 0;
    return std::min(Fit, FRowCount - FTopRow);
}

int TCustomGrid::VisibleColCount() const
{
    int Room = ClientSize().width() - FixedWidth() + FGridLineWidth;
    int Count = 0;
    for (int Col = FLeftCol; Col < FColCount && Room >= FColWidths[Col] + FGridLineWidth; ++Col, ++Count)
        Room -= FColWidths[Col] + FGridLineWidth;
    return Count;
}

int TCustomGrid::MaxTopRow() const
{
    const int Room = ClientSize().height() - FixedHeight();
    const int Fit = std::max(1, Room > 0 ? (Room + FGridLineWidth) / (FDefaultRowHeight + FGridLineWidth) : 1);
    return std::max(FFixedRows, FRowCount - Fit);
}

int TCustomGrid::MaxLeftCol() const
{
    int Room = ClientSize().width() - FixedWidth() + FGridLineWidth;
    int Col = FColCount - 1;
    Room -= FColWidths[Col] + FGridLineWidth;
    while (Col - 1 >= FFixedCols && Room >= FColWidths[Col - 1] + FGridLineWidth) {
        --Col;
        Room -= FColWidths[Col] + FGridLineWidth;
    }
    return std::max(FFixedCols, Col);
}

QList<TCustomGrid::TSpan> TCustomGrid::VisibleCols() const
{
    QList<TSpan> Spans;
    const int Limit = ClientSize().width();
    int X = 0;
    auto Add = [&](int Col) {
        Spans.append({Col, X, FColWidths[Col]});
        X += FColWidths[Col] + FGridLineWidth;
    };
    for (int Col = 0; Col < FFixedCols && X < Limit; ++Col)
        Add(Col);
    for (int Col = FLeftCol; Col < FColCount && X < Limit; ++Col)
        Add(Col);
    return Spans;
}

QList<TCustomGrid::TSpan> TCustomGrid::VisibleRows() const
{
    QList<TSpan> Spans;
    const int Limit = ClientSize().height();
    const int Step = FDefaultRowHeight + FGridLineWidth;
    int Y = 0;
    for (int Row = 0; Row < FFixedRows && Y < Limit; ++Row, Y += Step)
        Spans.append({Row, Y, FDefaultRowHeight});
    for (int Row = FTopRow; Row < FRowCount && Y < Limit; ++Row, Y += Step)
        Spans.append({Row, Y, FDefaultRowHeight});
    return Spans;
}

QRect TCustomGrid::CellRect(int ACol, int ARow) const
{
    QRect Rect;
    for (const TSpan& Col : VisibleCols())
        if (Col.Index == ACol)
            Rect.setX(Col.Start), Rect.setWidth(Col.Size);
    for (const TSpan& Row : VisibleRows())
        if (Row.Index == ARow)
            Rect.setY(Row.Start), Rect.setHeight(Row.Size);
    return Rect.width() > 0 && Rect.height() > 0 ? Rect : QRect();
}

TGridCoord TCustomGrid::MouseCoord(int X, int Y) const
{
    TGridCoord Cell{-1, -1};
    for (const TSpan& Col : VisibleCols())
        if (X >= Col.Start && X < Col.Start + Col.Size)
            Cell.X = Col.Index;
    for (const TSpan& Row : VisibleRows())
        if (Y >= Row.Start && Y < Row.Start + Row.Size)
            Cell.Y = Row.Index;
    if (Cell.X < 0 || Cell.Y < 0)
        return {-1, -1};
    return Cell;
}

// Repainting --------------------------------------------------------------------------------------

void TCustomGrid::InvalidateRect(const QRect& Rect)
{
    if (Rect.isEmpty())
        return;
    if (FOnInvalidateRect)
        FOnInvalidateRect(Rect);
    viewport()->update(Rect);
}

void TCustomGrid::InvalidateCell(int ACol, int ARow)
{
    InvalidateRect(CellRect(ACol, ARow));
}

void TCustomGrid::InvalidateRow(int ARow)
{
    for (const TSpan& Row : VisibleRows())
        if (Row.Index == ARow)
            InvalidateRect(QRect(0, Row.Start, ClientSize().width(), Row.Size));
}

void TCustomGrid::InvalidateCol(int ACol)
{
    for (const TSpan& Col : VisibleCols())
        if (Col.Index == ACol)
            InvalidateRect(QRect(Col.Start, 0, Col.Size, ClientSize().height()));
}

void TCustomGrid::InvalidateGrid()
{
    InvalidateRect(QRect(QPoint(0, 0), ClientSize()));
}

void TCustomGrid::InvalidateSelection()
{
    const TGridRect Sel = Selection();
    for (const TSpan& Row : VisibleRows())
        if (Row.Index >= Sel.Top && Row.Index <= Sel.Bottom) {
            if (FOptions & goRowSelect) {
                InvalidateRow(Row.Index);
                continue;
            }
            for (const TSpan& Col : VisibleCols())
                if (Col.Index >= Sel.Left && Col.Index <= Sel.Right)
                    InvalidateRect(QRect(Col.Start, Row.Start, Col.Size, Row.Size));
        }
}

// The current cell --------------------------------------------------------------------------------

TGridRect TCustomGrid::Selection() const
{
    TGridRect Sel{std::min(FCurrent.X, FAnchor.X), std::min(FCurrent.Y, FAnchor.Y), std::max(FCurrent.X, FAnchor.X),
                  std::max(FCurrent.Y, FAnchor.Y)};
    if (FOptions & goRowSelect) {
        Sel.Left = FFixedCols;
        Sel.Right = FColCount - 1;
    }
    return Sel;
}

bool TCustomGrid::SelectCell(int, int)
{
    return true;
}

void TCustomGrid::SetCol(int Value)
{
    FocusCell(Value, FCurrent.Y);
}

void TCustomGrid::SetRow(int Value)
{
    FocusCell(FCurrent.X, Value);
}

void TCustomGrid::FocusCell(int ACol, int ARow, bool MoveAnchor)
{
    if (ACol < FFixedCols || ACol >= FColCount || ARow < FFixedRows || ARow >= FRowCount)
        InvalidOperation(SIndexOutOfRange);
    MoveCurrent(ACol, ARow, MoveAnchor);
}

void TCustomGrid::MoveCurrent(int ACol, int ARow, bool MoveAnchor)
{
    if (ACol == FCurrent.X && ARow == FCurrent.Y && (!MoveAnchor || FAnchor == FCurrent))
        return;
    if (!SelectCell(ACol, ARow))
        return;
    // A handler of SelectCell may have shrunk the grid under the cell.
    if (ACol >= FColCount || ARow >= FRowCount)
        return;
    HideEditor();
    InvalidateSelection();
    FCurrent = {ACol, ARow};
    if (MoveAnchor || !(FOptions & goRangeSelect))
        FAnchor = FCurrent;
    ScrollToCurrent();
    InvalidateSelection();
    if (FOptions & goAlwaysShowEditor)
        ShowEditor();
}

void TCustomGrid::ScrollToCurrent()
{
    if (FCurrent.Y < FTopRow)
        SetTopRow(FCurrent.Y);
    else if (const int Visible = std::max(1, VisibleRowCount()); FCurrent.Y >= FTopRow + Visible)
        SetTopRow(FCurrent.Y - Visible + 1);
    if (FCurrent.X < FLeftCol)
        SetLeftCol(FCurrent.X);
    else
        while (FCurrent.X >= FLeftCol + std::max(1, VisibleColCount()) && FLeftCol < MaxLeftCol())
            SetLeftCol(FLeftCol + 1);
}

void TCustomGrid::SetTopRow(int Value)
{
    Value = std::clamp(Value, FFixedRows, MaxTopRow());
    if (Value == FTopRow)
        return;
    FTopRow = Value;
    UpdateScrollBars();
    PlaceEditor();
    InvalidateGrid();
}

void TCustomGrid::SetLeftCol(int Value)
{
    Value = std::clamp(Value, FFixedCols, MaxLeftCol());
    if (Value == FLeftCol)
        return;
    FLeftCol = Value;
    UpdateScrollBars();
    PlaceEditor();
    InvalidateGrid();
}

void TCustomGrid::UpdateScrollBars()
{
    // The bars count rows and columns, not pixels, so no count of rows can overflow them.
    FSyncingScrollBars = true;
    const bool Vertical = FScrollBars == TScrollStyle::ssVertical || FScrollBars == TScrollStyle::ssBoth;
    const bool Horizontal = FScrollBars == TScrollStyle::ssHorizontal || FScrollBars == TScrollStyle::ssBoth;
    setVerticalScrollBarPolicy(Vertical ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Horizontal ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    QScrollBar* V = verticalScrollBar();
    V->setRange(0, MaxTopRow() - FFixedRows);
    V->setPageStep(std::max(1, VisibleRowCount()));
    V->setValue(FTopRow - FFixedRows);
    QScrollBar* H = horizontalScrollBar();
    H->setRange(0, MaxLeftCol() - FFixedCols);
    H->setPageStep(std::max(1, VisibleColCount()));
    H->setValue(FLeftCol - FFixedCols);
    FSyncingScrollBars = false;
}

void TCustomGrid::scrollContentsBy(int, int)
{
    if (FSyncingScrollBars)
        return;
    SetTopRow(verticalScrollBar()->value() + FFixedRows);
    SetLeftCol(horizontalScrollBar()->value() + FFixedCols);
}

void TCustomGrid::resizeEvent(QResizeEvent* Event)
{
    QAbstractScrollArea::resizeEvent(Event);
    FTopRow = std::clamp(FTopRow, FFixedRows, MaxTopRow());
    FLeftCol = std::clamp(FLeftCol, FFixedCols, MaxLeftCol());
    UpdateScrollBars();
    PlaceEditor();
}

// The in-place editor -----------------------------------------------------------------------------

QString TCustomGrid::GetEditText(int, int)
{
    return QString();
}

void TCustomGrid::SetEditText(int, int, const QString&) {}

void TCustomGrid::ShowEditor()
{
    if (FEditor || !(FOptions & goEditing) || FCurrent.X < FFixedCols || FCurrent.Y < FFixedRows)
        return;
    FEditor = new QLineEdit(viewport());
    FEditor->setFrame(false);
    FEditor->setText(GetEditText(FCurrent.X, FCurrent.Y));
    PlaceEditor();
    FEditor->show();
    FEditor->setFocus();
    FEditor->selectAll();
    connect(FEditor, &QLineEdit::textEdited, this,
            [this](const QString& Text) { Guarded([&] { SetEditText(FCurrent.X, FCurrent.Y, Text); }); });
}

void TCustomGrid::HideEditor()
{
    if (!FEditor)
        return;
    QLineEdit* Editor = FEditor;
    FEditor = nullptr;
    const bool HadFocus = Editor->hasFocus();
    Editor->hide();
    Editor->deleteLater();
    if (HadFocus)
        setFocus();
}

void TCustomGrid::PlaceEditor()
{
    if (!FEditor)
        return;
    const QRect Rect = CellRect(FCurrent.X, FCurrent.Y);
    FEditor->setVisible(!Rect.isEmpty());
    FEditor->setGeometry(Rect);
}

// Keys and mouse ----------------------------------------------------------------------------------

void TCustomGrid::KeyPress(QChar& Key)
{
    if (OnKeyPress)
        OnKeyPress(this, Key);
    if (!(FOptions & goAlwaysShowEditor) && Key == u'\r') {
        if (EditorMode())
            HideEditor();
        else
            ShowEditor();
        Key = QChar(0);
    }
}

void TCustomGrid::DblClick()
{
    if (OnDblClick)
        OnDblClick(this);
}

void TCustomGrid::MoveByKey(QKeyEvent* Event)
{
    const bool Extend = (Event->modifiers() & Qt::ShiftModifier) && (FOptions & goRangeSelect);
    const bool Control = Event->modifiers() & Qt::ControlModifier;
    int ACol = FCurrent.X;
    int ARow = FCurrent.Y;
    const int Page = std::max(1, VisibleRowCount());
    switch (Event->key()) {
    case Qt::Key_Up: --ARow; break;
    case Qt::Key_Down: ++ARow; break;
    case Qt::Key_Left: --ACol; break;
    case Qt::Key_Right: ++ACol; break;
    case Qt::Key_PageUp: ARow -= Page; SetTopRow(FTopRow - Page); break;
    case Qt::Key_PageDown: ARow += Page; SetTopRow(FTopRow + Page); break;
    case Qt::Key_Home: Control ? void(ARow = FFixedRows) : void(ACol = FFixedCols); break;
    case Qt::Key_End: Control ? void(ARow = FRowCount - 1) : void(ACol = FColCount - 1); break;
    case Qt::Key_Tab:
        if (ACol + 1 < FColCount) ++ACol;
        else if (ARow + 1 < FRowCount) { ACol = FFixedCols; ++ARow; }
        break;
    case Qt::Key_Backtab:
        if (ACol - 1 >= FFixedCols) --ACol;
        else if (ARow - 1 >= FFixedRows) { ACol = FColCount - 1; --ARow; }
        break;
    default: return;
    }
    ACol = std::clamp(ACol, FFixedCols, FColCount - 1);
    ARow = std::clamp(ARow, FFixedRows, FRowCount - 1);
    MoveCurrent(ACol, ARow, !Extend);
}

void TCustomGrid::keyPressEvent(QKeyEvent* Event)
{
    // Keys that a child control passes on are not the grid's, except those of its own editor.
    if (!hasFocus() && !(FEditor && FEditor->hasFocus())) {
        Event->ignore();
        return;
    }
    Guarded([&] {
        switch (Event->key()) {
        case Qt::Key_Up: case Qt::Key_Down: case Qt::Key_Left: case Qt::Key_Right:
        case Qt::Key_PageUp: case Qt::Key_PageDown: case Qt::Key_Home: case Qt::Key_End:
            MoveByKey(Event);
            return;
        case Qt::Key_Tab: case Qt::Key_Backtab:
            if (FOptions & goTabs) {
                MoveByKey(Event);
                return;
            }
            break;
        case Qt::Key_F2:
            ShowEditor();
            return;
        case Qt::Key_Escape:
            if (EditorMode()) {
                HideEditor();
                return;
            }
            break;
        default:
            break;
        }
        const QString Text = Event->text();
        if (Text.size() == 1 && (Text[0].isPrint() || Text[0] == u'\r')) {
            QChar Key = Text[0];
            KeyPress(Key);
            return;
        }
        Event->ignore();
    });
}

int TCustomGrid::SizingBorder(int X, int Y) const
{
    if (!(FOptions & goColSizing) || Y >= FixedHeight())
        return -1;
    for (const TSpan& Col : VisibleCols()) {
        const int Border = Col.Start + Col.Size;
        if (X >= Border - SizingMargin && X <= Border + FGridLineWidth + SizingMargin)
            return Col.Index;
    }
    return -1;
}

void TCustomGrid::mousePressEvent(QMouseEvent* Event)
{
    Guarded([&] {
        if (!hasFocus())
            setFocus();
        if (Event->button() != Qt::LeftButton)
            return;
        const QPoint At = Event->position().toPoint();
        FSizingCol = SizingBorder(At.x(), At.y());
        if (FSizingCol >= 0) {
            FSizingStartX = At.x();
            FSizingStartWidth = FColWidths[FSizingCol];
            return;
        }
        const TGridCoord Cell = MouseCoord(At.x(), At.y());
        if (Cell.X >= FFixedCols && Cell.Y >= FFixedRows)
            MoveCurrent(Cell.X, Cell.Y, !(Event->modifiers() & Qt::ShiftModifier));
    });
}

void TCustomGrid::mouseMoveEvent(QMouseEvent* Event)
{
    Guarded([&] {
        const QPoint At = Event->position().toPoint();
        if (FSizingCol >= 0) {
            SetColWidths(FSizingCol, std::max(MinColWidth, FSizingStartWidth + At.x() - FSizingStartX));
            return;
        }
        viewport()->setCursor(SizingBorder(At.x(), At.y()) >= 0 ? Qt::SplitHCursor : Qt::ArrowCursor);
        if (Event->buttons() & Qt::LeftButton && FOptions & goRangeSelect) {
            const TGridCoord Cell = MouseCoord(At.x(), At.y());
            if (Cell.X >= FFixedCols && Cell.Y >= FFixedRows)
                MoveCurrent(Cell.X, Cell.Y, false);
        }
    });
}

void TCustomGrid::mouseReleaseEvent(QMouseEvent*)
{
    FSizingCol = -1;
}

void TCustomGrid::mouseDoubleClickEvent(QMouseEvent*)
{
    Guarded([&] { DblClick(); });
}

void TCustomGrid::focusInEvent(QFocusEvent* Event)
{
    QAbstractScrollArea::focusInEvent(Event);
    InvalidateCell(FCurrent.X, FCurrent.Y);
}

void TCustomGrid::focusOutEvent(QFocusEvent* Event)
{
    QAbstractScrollArea::focusOutEvent(Event);
    InvalidateCell(FCurrent.X, FCurrent.Y);
}

void TCustomGrid::Loaded()
{
    FLoading = false;
}

// Painting ----------------------------------------------------------------------------------------

void TCustomGrid::DrawLines(QPainter& Painter, const QList<TSpan>& Cols, const QList<TSpan>& Rows)
{
    if (FGridLineWidth <= 0 || Cols.isEmpty() || Rows.isEmpty())
        return;
    const int Right = Cols.last().Start + Cols.last().Size + FGridLineWidth;
    const int Bottom = Rows.last().Start + Rows.last().Size + FGridLineWidth;
    const QColor FixedLine = palette().color(QPalette::Dark);
    const QColor Line = palette().color(QPalette::Midlight);
    for (const TSpan& Col : Cols) {
        const bool Fixed = Col.Index < FFixedCols;
        if (FOptions & (Fixed ? goFixedVertLine : goVertLine))
            Painter.fillRect(QRect(Col.Start + Col.Size, 0, FGridLineWidth, Bottom), Fixed ? FixedLine : Line);
        else if (FOptions & goFixedVertLine)
            Painter.fillRect(QRect(Col.Start + Col.Size, 0, FGridLineWidth, FixedHeight()), FixedLine);
    }
    for (const TSpan& Row : Rows) {
        const bool Fixed = Row.Index < FFixedRows;
        if (FOptions & (Fixed ? goFixedHorzLine : goHorzLine))
            Painter.fillRect(QRect(0, Row.Start + Row.Size, Right, FGridLineWidth), Fixed ? FixedLine : Line);
        else if (FOptions & goFixedHorzLine)
            Painter.fillRect(QRect(0, Row.Start + Row.Size, FixedWidth(), FGridLineWidth), FixedLine);
    }
}

void TCustomGrid::paintEvent(QPaintEvent* Event)
{
    QPainter Painter(viewport());
    const QList<TSpan> Rows = VisibleRows();
    const QList<TSpan> Cols = VisibleCols();
    Painter.fillRect(Event->rect(), FColor);
    DrawLines(Painter, Cols, Rows);
    const TGridRect Sel = Selection();
    const bool Focused = hasFocus();
    const QPalette& Colors = palette();
    FCanvas.Painter = &Painter;
    GuardedPaint(this, [&] {
        for (const TSpan& Row : Rows)
            for (const TSpan& Col : Cols) {
                const QRect Rect(Col.Start, Row.Start, Col.Size, Row.Size);
                if (!Event->region().intersects(Rect))
                    continue;
                TGridDrawState State;
                const bool Current = Col.Index == FCurrent.X && Row.Index == FCurrent.Y;
                if (Row.Index < FFixedRows || Col.Index < FFixedCols)
                    State |= gdFixed;
                else if (Sel.Contains(Col.Index, Row.Index) &&
                         (!Current || FOptions & (goDrawFocusSelected | goRowSelect) || Sel.Left != Sel.Right ||
                          Sel.Top != Sel.Bottom))
                    State |= gdSelected;
                if (Current && Focused)
                    State |= gdFocused;
                FCanvas.Font = font();
                FCanvas.FontColor = Colors.color(State & gdSelected ? QPalette::HighlightedText : QPalette::Text);
                FCanvas.Brush.Color = State & gdSelected ? Colors.color(QPalette::Highlight)
                                      : State & gdFixed  ? FFixedColor
                                                         : FColor;
                if (FDefaultDrawing)
                    FCanvas.FillRect(Rect);
                DrawCell(Col.Index, Row.Index, Rect, State);
                if (State & gdFocused && !(FOptions & goRowSelect) && !EditorMode()) {
                    QPen Dotted(Colors.color(QPalette::Text), 1, Qt::DotLine);
                    Painter.setPen(Dotted);
                    Painter.setBrush(Qt::NoBrush);
                    Painter.drawRect(Rect.adjusted(0, 0, -1, -1));
                }
            }
    });
    FCanvas.Painter = nullptr;
}

// The draw grid -----------------------------------------------------------------------------------

TDrawGrid::TDrawGrid(QWidget* Parent) : TCustomGrid(Parent) {}

void TDrawGrid::DrawCell(int ACol, int ARow, const QRect& Rect, TGridDrawState State)
{
    emit OnDrawCell(this, ACol, ARow, Rect, State);
}

bool TDrawGrid::SelectCell(int ACol, int ARow)
{
    bool CanSelect = true;
    if (OnSelectCell)
        OnSelectCell(this, ACol, ARow, CanSelect);
    return CanSelect;
}
