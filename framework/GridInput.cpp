// Keys, the mouse, the focus and the in-place editor.
#include "framework/Grids_p.h"

#include "framework/Application.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>

using namespace GridParts;

namespace {

constexpr int SizingMargin = 3; // pixels either side of a column border that start sizing
constexpr int MinColWidth = 4;

} // namespace

bool TCustomGrid::EditorMode() const
{
    return d->FEditor != nullptr;
}

const TKeyPressEvent& TCustomGrid::OnKeyPress() const
{
    return d->FOnKeyPress;
}

void TCustomGrid::SetOnKeyPress(const TKeyPressEvent& Value)
{
    d->FOnKeyPress = Value;
}

const TNotifyEvent& TCustomGrid::OnDblClick() const
{
    return d->FOnDblClick;
}

void TCustomGrid::SetOnDblClick(const TNotifyEvent& Value)
{
    d->FOnDblClick = Value;
}

QString TCustomGrid::GetEditText(int, int)
{
    return QString();
}

void TCustomGrid::SetEditText(int, int, const QString&) {}

void TCustomGrid::ShowEditor()
{
    if (d->FEditor || !(d->FOptions & goEditing) || d->FCurrent.X < d->FFixedCols || d->FCurrent.Y < d->FFixedRows)
        return;
    d->FEditor = new QLineEdit(viewport());
    d->FEditor->setFrame(false);
    d->FEditor->setText(GetEditText(d->FCurrent.X, d->FCurrent.Y));
    PlaceEditor();
    d->FEditor->show();
    d->FEditor->setFocus();
    d->FEditor->selectAll();
    connect(d->FEditor, &QLineEdit::textEdited, this,
            [this](const QString& Text) { Guarded([&] { SetEditText(d->FCurrent.X, d->FCurrent.Y, Text); }); });
}

void TCustomGrid::HideEditor()
{
    if (!d->FEditor)
        return;
    QLineEdit* Editor = d->FEditor;
    d->FEditor = nullptr;
    const bool HadFocus = Editor->hasFocus();
    Editor->hide();
    Editor->deleteLater();
    if (HadFocus)
        setFocus();
}

void TCustomGrid::PlaceEditor()
{
    if (!d->FEditor)
        return;
    const QRect Rect = CellRect(d->FCurrent.X, d->FCurrent.Y);
    d->FEditor->setVisible(!Rect.isEmpty());
    d->FEditor->setGeometry(Rect);
    // The editor reads as the cells do, and its text stands where theirs does.
    const TBiDiMode Mode = d->BiDiMode(isRightToLeft());
    const Qt::LayoutDirection Reading = Mode == bdLeftToRight ? Qt::LeftToRight : Qt::RightToLeft;
    if (d->FEditor->layoutDirection() != Reading)
        d->FEditor->setLayoutDirection(Reading);
    const bool Absolute = Mode == bdRightToLeftNoAlign || Mode == bdRightToLeftReadingOnly;
    const Qt::Alignment Along = Absolute ? Qt::AlignLeft | Qt::AlignAbsolute : Qt::AlignLeft;
    d->FEditor->setAlignment((d->FEditor->alignment() & ~Qt::AlignHorizontal_Mask) | Along);
}

void TCustomGrid::KeyPress(QChar& Key)
{
    if (d->FOnKeyPress)
        d->FOnKeyPress(this, Key);
    if (!(d->FOptions & goAlwaysShowEditor) && Key == u'\r') {
        if (EditorMode())
            HideEditor();
        else
            ShowEditor();
        Key = QChar(0);
    }
}

void TCustomGrid::DblClick()
{
    if (d->FOnDblClick)
        d->FOnDblClick(this);
}

void TCustomGrid::MoveByKey(QKeyEvent* Event)
{
    const bool Extend = (Event->modifiers() & Qt::ShiftModifier) && (d->FOptions & goRangeSelect);
    const bool Control = Event->modifiers() & Qt::ControlModifier;
    // In 64 bits: a move from the last row or column goes past INT_MAX before it is clamped.
    qint64 ACol = d->FCurrent.X;
    qint64 ARow = d->FCurrent.Y;
    const int Page = std::max(1, VisibleRowCount());
    switch (Event->key()) {
    case Qt::Key_Up: --ARow; break;
    case Qt::Key_Down: ++ARow; break;
    // Right to left the columns run leftwards, as in QTableView.
    case Qt::Key_Left: ACol += isRightToLeft() ? 1 : -1; break;
    case Qt::Key_Right: ACol += isRightToLeft() ? -1 : 1; break;
    case Qt::Key_PageUp: ARow -= Page; SetTopRow(d->FTopRow - Page); break;
    case Qt::Key_PageDown: ARow += Page; SetTopRow(ClampToInt(qint64(d->FTopRow) + Page)); break;
    case Qt::Key_Home: Control ? void(ARow = d->FFixedRows) : void(ACol = d->FFixedCols); break;
    case Qt::Key_End: Control ? void(ARow = d->FRowCount - 1) : void(ACol = d->FColCount - 1); break;
    case Qt::Key_Tab:
        if (ACol + 1 < d->FColCount) ++ACol;
        else if (ARow + 1 < d->FRowCount) { ACol = d->FFixedCols; ++ARow; }
        break;
    case Qt::Key_Backtab:
        if (ACol - 1 >= d->FFixedCols) --ACol;
        else if (ARow - 1 >= d->FFixedRows) { ACol = d->FColCount - 1; --ARow; }
        break;
    default: return;
    }
    ACol = std::clamp<qint64>(ACol, d->FFixedCols, d->FColCount - 1);
    ARow = std::clamp<qint64>(ARow, d->FFixedRows, d->FRowCount - 1);
    MoveCurrent(int(ACol), int(ARow), !Extend);
}

void TCustomGrid::keyPressEvent(QKeyEvent* Event)
{
    // Keys that a child control passes on are not the grid's, except those of its own editor.
    if (!hasFocus() && !(d->FEditor && d->FEditor->hasFocus())) {
        Event->ignore();
        return;
    }
    Guarded([&] {
        if (Event->matches(QKeySequence::Copy)) {
            CopyToClipboard();
            return;
        }
        if (Event->matches(QKeySequence::SelectAll) && (d->FOptions & goRangeSelect)) {
            SelectAll();
            return;
        }
        switch (Event->key()) {
        case Qt::Key_Up: case Qt::Key_Down: case Qt::Key_Left: case Qt::Key_Right:
        case Qt::Key_PageUp: case Qt::Key_PageDown: case Qt::Key_Home: case Qt::Key_End:
            MoveByKey(Event);
            return;
        case Qt::Key_Tab: case Qt::Key_Backtab:
            if (d->FOptions & goTabs) {
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
    if (!(d->FOptions & goColSizing) || Y >= FixedHeight())
        return -1;
    X = TMirror::Of(*this).X(X);
    for (const TSpan& Col : VisibleCols()) {
        const qint64 Border = qint64(Col.Start) + Col.Size;
        if (X >= Border - SizingMargin && X <= Border + d->FGridLineWidth + SizingMargin)
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
        d->FSizingCol = SizingBorder(At.x(), At.y());
        if (d->FSizingCol >= 0) {
            d->FSizingStartX = At.x();
            d->FSizingStartWidth = ColWidths(d->FSizingCol);
            return;
        }
        const TGridCoord Cell = MouseCoord(At.x(), At.y());
        if (Cell.X >= d->FFixedCols && Cell.Y >= d->FFixedRows)
            MoveCurrent(Cell.X, Cell.Y, !(Event->modifiers() & Qt::ShiftModifier));
    });
}

void TCustomGrid::mouseMoveEvent(QMouseEvent* Event)
{
    Guarded([&] {
        const QPoint At = Event->position().toPoint();
        if (d->FSizingCol >= 0) {
            // Right to left the border is the column's left edge: moving it left widens.
            const qint64 Moved = qint64(At.x()) - d->FSizingStartX;
            const qint64 Width = d->FSizingStartWidth + (isRightToLeft() ? -Moved : Moved);
            SetColWidths(d->FSizingCol, ClampToInt(std::max<qint64>(MinColWidth, Width)));
            return;
        }
        viewport()->setCursor(SizingBorder(At.x(), At.y()) >= 0 ? Qt::SplitHCursor : Qt::ArrowCursor);
        if (Event->buttons() & Qt::LeftButton && d->FOptions & goRangeSelect) {
            const TGridCoord Cell = MouseCoord(At.x(), At.y());
            if (Cell.X >= d->FFixedCols && Cell.Y >= d->FFixedRows)
                MoveCurrent(Cell.X, Cell.Y, false);
        }
    });
}

void TCustomGrid::mouseReleaseEvent(QMouseEvent*)
{
    d->FSizingCol = -1;
}

void TCustomGrid::mouseDoubleClickEvent(QMouseEvent* Event)
{
    Guarded([&] {
        // A double-click on a border sizes its column: it is not a double-click on a cell.
        const QPoint At = Event->position().toPoint();
        if (const int Col = SizingBorder(At.x(), At.y()); Col >= 0 && Event->button() == Qt::LeftButton) {
            d->FSizingCol = -1;
            TCustomGridPrivate::FitColToTexts(*this, Col);
            return;
        }
        DblClick();
    });
}

// The focus changes how the current cell is drawn, and with goRowSelect the frame of its row.
void TCustomGrid::focusInEvent(QFocusEvent* Event)
{
    QAbstractScrollArea::focusInEvent(Event);
    InvalidateFocus();
    GridAccessibility::FocusIn(*this);
}

void TCustomGrid::focusOutEvent(QFocusEvent* Event)
{
    QAbstractScrollArea::focusOutEvent(Event);
    InvalidateFocus();
}

void TCustomGrid::InvalidateFocus()
{
    if (d->FOptions & goRowSelect)
        InvalidateRow(d->FCurrent.Y);
    else
        InvalidateCell(d->FCurrent.X, d->FCurrent.Y);
}

// Qt moves the focus on Tab before the key reaches keyPressEvent; with goTabs the key is the grid's.
bool TCustomGrid::focusNextPrevChild(bool Next)
{
    if (d->FOptions & goTabs)
        return false;
    return QAbstractScrollArea::focusNextPrevChild(Next);
}
