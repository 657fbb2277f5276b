// What a grid offers besides its painting and its moves: the selection of all the cells, the
// clipboard, the fitting of a column to its texts, elided texts and the tooltips of cut texts.
#include "framework/GridAccessible_p.h"
#include "framework/Grids_p.h"

#include <QApplication>
#include <QClipboard>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QMimeData>
#include <QTextDocument>
#include <QToolTip>

using namespace GridParts;

namespace {

constexpr int MinFittedWidth = 4; // as narrow as a drag may make a column

// Shows the tooltips of the cells whose texts do not fit. A filter on the viewport, which gets the
// tooltip events, rather than an override, so that the grid's virtual table stays as it is.
class TGridHintFilter : public QObject {
public:
    explicit TGridHintFilter(TCustomGrid* Grid) : QObject(Grid), FGrid(Grid) {}

    bool eventFilter(QObject* Watched, QEvent* Event) override
    {
        if (Event->type() != QEvent::ToolTip || Watched != FGrid->viewport() || !FGrid->ShowHint())
            return false;
        const auto* Help = static_cast<QHelpEvent*>(Event);
        if (TCustomGridPrivate::ShowCellHint(*FGrid, Help->pos(), Help->globalPos()))
            return true;
        // Not the cell's to show: a tooltip the program gave the grid itself may still come.
        QToolTip::hideText();
        Event->ignore();
        return true;
    }

private:
    TCustomGrid* const FGrid;
};

// A text as one field of a tab-separated line: its own tabs and line breaks would split it.
QString PlainField(QString Text)
{
    for (QChar& C : Text)
        if (C == u'\t' || C == u'\n' || C == u'\r')
            C = u' ';
    return Text;
}

} // namespace

void TCustomGridPrivate::EndSelectAll(TCustomGrid& Grid)
{
    if (!Grid.d->FAllSelected)
        return;
    Grid.InvalidateSelection();
    Grid.d->FAllSelected = false;
    GridAccessibility::SelectionReplaced(Grid);
}

void TCustomGrid::SelectAll()
{
    if (!(d->FOptions & goRangeSelect) || d->FAllSelected)
        return;
    d->FAllSelected = true;
    InvalidateSelection();
    GridAccessibility::SelectionReplaced(*this);
}

bool TCustomGrid::CopyToClipboard()
{
    TGridRect Sel = Selection();
    Sel.Left = std::max(Sel.Left, d->FFixedCols);
    Sel.Top = std::max(Sel.Top, d->FFixedRows);
    if (Sel.Right < Sel.Left || Sel.Bottom < Sel.Top)
        return false;
    // Rows reach 2^31 - 1: the count of cells is a 64-bit product.
    const qint64 Cells = (qint64(Sel.Right) - Sel.Left + 1) * (qint64(Sel.Bottom) - Sel.Top + 1);
    if (Cells > MaxCopiedCells) {
        QApplication::beep();
        return false;
    }
    QString Text;
    QString Html = QStringLiteral("<table>");
    for (qint64 Row = Sel.Top; Row <= Sel.Bottom; ++Row) {
        if (Row > Sel.Top)
            Text += u'\n';
        Html += QStringLiteral("<tr>");
        for (int Col = Sel.Left; Col <= Sel.Right; ++Col) {
            const QString Cell = CellDisplayText(Col, int(Row));
            if (Col > Sel.Left)
                Text += u'\t';
            Text += PlainField(Cell);
            Html += QStringLiteral("<td>") + Cell.toHtmlEscaped() + QStringLiteral("</td>");
        }
        Html += QStringLiteral("</tr>");
    }
    Html += QStringLiteral("</table>");
    auto* Data = new QMimeData;
    Data->setText(Text);
    Data->setHtml(Html);
    QGuiApplication::clipboard()->setMimeData(Data);
    return true;
}

TCustomGrid::TTextMarginsQuery TCustomGridPrivate::TextMargins(TCustomGrid& Grid, int ACol, int ARow)
{
    TCustomGrid::TTextMarginsQuery Query{ACol, ARow};
    Grid.virtual_hook(TCustomGrid::TextMarginsHook, &Query);
    return Query;
}

bool TCustomGridPrivate::FitColToTexts(TCustomGrid& Grid, int ACol)
{
    const QFontMetrics Metrics(Grid.font());
    qint64 Widest = -1;
    for (const auto& Row : Grid.VisibleRows()) {
        const QString Text = Grid.CellDisplayText(ACol, Row.Index);
        if (Text.isEmpty())
            continue;
        const TCustomGrid::TTextMarginsQuery Margins = TextMargins(Grid, ACol, Row.Index);
        Widest = std::max(Widest, qint64(Metrics.horizontalAdvance(Text)) + Margins.Left + Margins.Right);
    }
    // A column with no text in view keeps its width rather than shrink to nothing.
    if (Widest < 0)
        return false;
    Grid.SetColWidths(ACol, ClampToInt(std::max<qint64>(Widest, MinFittedWidth)));
    return true;
}

bool TCustomGridPrivate::ShowCellHint(TCustomGrid& Grid, const QPoint& Pos, const QPoint& GlobalPos)
{
    const TGridCoord Cell = Grid.MouseCoord(Pos.x(), Pos.y());
    if (Cell.X < 0 || Cell.Y < 0)
        return false;
    const QString Text = Grid.CellDisplayText(Cell.X, Cell.Y);
    if (Text.isEmpty())
        return false;
    const TCustomGrid::TTextMarginsQuery Margins = TextMargins(Grid, Cell.X, Cell.Y);
    const qint64 Room = qint64(Grid.ColWidths(Cell.X)) - Margins.Left - Margins.Right;
    if (QFontMetrics(Grid.font()).horizontalAdvance(Text) <= Room)
        return false;
    // The tooltip would take a text that looks like markup for markup.
    const QString Shown =
        Qt::mightBeRichText(Text) ? QStringLiteral("<qt>") + Text.toHtmlEscaped() + QStringLiteral("</qt>") : Text;
    QToolTip::showText(GlobalPos, Shown, Grid.viewport(), Grid.CellRect(Cell.X, Cell.Y));
    return true;
}

Qt::TextElideMode TCustomGrid::TextElideMode() const
{
    return d->FTextElideMode;
}

void TCustomGrid::SetTextElideMode(Qt::TextElideMode Value)
{
    if (Value == d->FTextElideMode)
        return;
    d->FTextElideMode = Value;
    InvalidateGrid();
}

bool TCustomGrid::ShowHint() const
{
    return d->FShowHint;
}

void TCustomGrid::SetShowHint(bool Value)
{
    d->FShowHint = Value;
    if (Value && !d->FHintFilter) {
        d->FHintFilter = new TGridHintFilter(this);
        viewport()->installEventFilter(d->FHintFilter);
    }
}
