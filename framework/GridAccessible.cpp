// What screen readers see of a grid: a table of the scrolling rows and columns, whose fixed rows
// give the column headers and whose fixed columns give the row headers, and the events the grid's
// parts send it. Cells are made when asked and cached by (row, column), never one per row: a data
// grid has up to 2^31 - 1 rows.
#include "framework/GridAccessible_p.h"
#include "framework/Grids_p.h"

#include <QAccessibleWidget>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <optional>
#include <utility>

using namespace GridParts;

namespace {

// The table's shape: its counts, and whether it has a header row and a header column. Children
// are numbered row by row, the header row and the header column first, as Qt's item views number
// theirs; the numbers are computed in 64 bits and handed out only where they fit in an int.
struct TShape {
    int Rows = 0;
    int Columns = 0;
    int HeaderRow = 0;
    int HeaderColumn = 0;

    explicit TShape(const TCustomGrid& Grid)
        : Rows(ClampToInt(Grid.RowCount() - Grid.FixedRows())), Columns(Grid.ColCount() - Grid.FixedCols()),
          HeaderRow(Grid.FixedRows() > 0 ? 1 : 0), HeaderColumn(Grid.FixedCols() > 0 ? 1 : 0)
    {
    }
    qint64 Width() const { return qint64(Columns) + HeaderColumn; }
    qint64 ChildCount() const { return (qint64(Rows) + HeaderRow) * Width(); }
    qint64 IndexOf(int Row, int Column) const { return (qint64(Row) + HeaderRow) * Width() + Column + HeaderColumn; }
    // Row or Column -1 is the header row or column, where there is one.
    bool Exists(int Row, int Column) const
    {
        return Row >= -HeaderRow && Row < Rows && Column >= -HeaderColumn && Column < Columns;
    }
};

int GridCol(const TCustomGrid& Grid, int Column)
{
    return Column < 0 ? 0 : Column + Grid.FixedCols();
}

int GridRow(const TCustomGrid& Grid, int Row)
{
    return Row < 0 ? 0 : Row + Grid.FixedRows();
}

QAccessibleInterface* CellOf(TCustomGrid& Grid, int Row, int Column);

// A cell, a column header (Row -1), a row header (Column -1) or the corner above the row headers.
class TGridCell : public QAccessibleInterface, public QAccessibleTableCellInterface {
public:
    TGridCell(TCustomGrid& Grid, int Row, int Column) : FGrid(&Grid), FRow(Row), FColumn(Column) {}

    bool IsHeader() const { return FRow < 0 || FColumn < 0; }

    bool isValid() const override { return FGrid && TShape(*FGrid).Exists(FRow, FColumn); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return FGrid ? FGrid->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override
    {
        return FGrid ? QAccessible::queryAccessibleInterface(FGrid.data()) : nullptr;
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }

    QString text(QAccessible::Text Kind) const override
    {
        if (Kind != QAccessible::Name || !isValid())
            return QString();
        return FGrid->CellDisplayText(GridCol(*FGrid, FColumn), GridRow(*FGrid, FRow));
    }
    void setText(QAccessible::Text, const QString&) override {}

    QRect rect() const override
    {
        if (!isValid() || !FGrid->isVisible())
            return QRect();
        const QRect Client = FGrid->CellRect(GridCol(*FGrid, FColumn), GridRow(*FGrid, FRow));
        if (Client.isEmpty())
            return QRect();
        return QRect(FGrid->viewport()->mapToGlobal(Client.topLeft()), Client.size());
    }

    QAccessible::Role role() const override
    {
        if (FRow < 0)
            return QAccessible::ColumnHeader;
        return FColumn < 0 ? QAccessible::RowHeader : QAccessible::Cell;
    }

    QAccessible::State state() const override
    {
        QAccessible::State State;
        if (!isValid()) {
            State.invalid = true;
            return State;
        }
        if (rect().isEmpty())
            State.invisible = true;
        if (IsHeader())
            return State;
        State.focusable = true;
        State.selectable = true;
        if (FGrid->hasFocus() && FGrid->Col() == GridCol(*FGrid, FColumn) && FGrid->Row() == GridRow(*FGrid, FRow))
            State.focused = true;
        State.selected = isSelected();
        return State;
    }

    void* interface_cast(QAccessible::InterfaceType Type) override
    {
        if (Type == QAccessible::TableCellInterface && !IsHeader())
            return static_cast<QAccessibleTableCellInterface*>(this);
        return nullptr;
    }

    bool isSelected() const override
    {
        return isValid() && !IsHeader() &&
               FGrid->Selection().Contains(GridCol(*FGrid, FColumn), GridRow(*FGrid, FRow));
    }
    QList<QAccessibleInterface*> columnHeaderCells() const override
    {
        QList<QAccessibleInterface*> Headers;
        if (isValid() && FGrid->FixedRows() > 0)
            if (QAccessibleInterface* Header = CellOf(*FGrid, -1, FColumn))
                Headers.append(Header);
        return Headers;
    }
    QList<QAccessibleInterface*> rowHeaderCells() const override
    {
        QList<QAccessibleInterface*> Headers;
        if (isValid() && FGrid->FixedCols() > 0)
            if (QAccessibleInterface* Header = CellOf(*FGrid, FRow, -1))
                Headers.append(Header);
        return Headers;
    }
    int columnIndex() const override { return FColumn; }
    int rowIndex() const override { return FRow; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface* table() const override { return parent(); }

    QPointer<TCustomGrid> FGrid;
    int FRow;
    int FColumn;
};

GridAccessibility::TCellCache& CacheOf(TCustomGrid& Grid)
{
    return TCustomGridPrivate::Of(Grid).FAccessibleCells;
}

QAccessibleInterface* CellOf(TCustomGrid& Grid, int Row, int Column)
{
    if (!TShape(Grid).Exists(Row, Column))
        return nullptr;
    auto& Ids = CacheOf(Grid).FIds;
    const std::uint64_t Key = GridAccessibility::TCellCache::Key(Row, Column);
    if (const auto Found = Ids.constFind(Key); Found != Ids.constEnd()) {
        if (QAccessibleInterface* Cell = QAccessible::accessibleInterface(*Found))
            return Cell;
        Ids.erase(Found);
    }
    auto* Cell = new TGridCell(Grid, Row, Column);
    Ids.insert(Key, QAccessible::registerAccessibleInterface(Cell));
    return Cell;
}

// The table's cell (row and column counted in the table) of a grid cell; fixed rows and columns
// all stand for the header row or column.
QAccessibleInterface* CellAtGridCoord(TCustomGrid& Grid, int ACol, int ARow)
{
    return CellOf(Grid, ARow < Grid.FixedRows() ? -1 : ARow - Grid.FixedRows(),
                  ACol < Grid.FixedCols() ? -1 : ACol - Grid.FixedCols());
}

void DropCells(TCustomGrid& Grid)
{
    auto& Ids = CacheOf(Grid).FIds;
    if (Ids.isEmpty())
        return;
    const QHash<std::uint64_t, QAccessible::Id> Dropped = std::exchange(Ids, {});
    for (const QAccessible::Id Id : Dropped)
        QAccessible::deleteAccessibleInterface(Id);
}

// Rebuilds the cache after cells moved or died: Move gives a cell's new row, or nullopt to drop it.
template <typename TMove> void RekeyCells(TCustomGrid& Grid, TMove Move)
{
    auto& Ids = CacheOf(Grid).FIds;
    QHash<std::uint64_t, QAccessible::Id> Kept;
    for (auto It = Ids.cbegin(); It != Ids.cend(); ++It) {
        auto* Cell = static_cast<TGridCell*>(QAccessible::accessibleInterface(It.value()));
        if (!Cell)
            continue;
        const std::optional<int> Row = Move(Cell->FRow);
        if (!Row) {
            QAccessible::deleteAccessibleInterface(It.value());
            continue;
        }
        Cell->FRow = *Row;
        Kept.insert(GridAccessibility::TCellCache::Key(Cell->FRow, Cell->FColumn), It.value());
    }
    Ids = std::move(Kept);
}

// The grid itself: a table. Its names and descriptions are a widget's (accessibleName, else the
// text of the label whose buddy it is), and so are its state and relations.
class TGridTable : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    explicit TGridTable(TCustomGrid* Grid) : QAccessibleWidget(Grid, QAccessible::Table) {}

    TCustomGrid& Grid() const { return *static_cast<TCustomGrid*>(widget()); }

    void* interface_cast(QAccessible::InterfaceType Type) override
    {
        if (Type == QAccessible::TableInterface)
            return static_cast<QAccessibleTableInterface*>(this);
        return QAccessibleWidget::interface_cast(Type);
    }

    // The cells are the children; the scroll bars and the viewport are the grid's own business.
    int childCount() const override { return ClampToInt(TShape(Grid()).ChildCount()); }
    QAccessibleInterface* child(int Index) const override
    {
        const TShape Shape(Grid());
        if (Index < 0 || Index >= Shape.ChildCount() || Shape.Width() == 0)
            return nullptr;
        const int Row = int(Index / Shape.Width()) - Shape.HeaderRow;
        const int Column = int(Index % Shape.Width()) - Shape.HeaderColumn;
        return CellOf(Grid(), Row, Column);
    }
    int indexOfChild(const QAccessibleInterface* Child) const override
    {
        if (!Child || Child->parent() != this)
            return -1;
        const auto* Cell = static_cast<const TGridCell*>(Child);
        const TShape Shape(Grid());
        if (!Shape.Exists(Cell->FRow, Cell->FColumn))
            return -1;
        // A child beyond what an int counts has no index, as Qt's interfaces count.
        const qint64 Index = Shape.IndexOf(Cell->FRow, Cell->FColumn);
        return Index <= INT_MAX ? int(Index) : -1;
    }
    QAccessibleInterface* childAt(int X, int Y) const override
    {
        const QPoint Point = Grid().viewport()->mapFromGlobal(QPoint(X, Y));
        if (!Grid().viewport()->rect().contains(Point))
            return nullptr;
        const TGridCoord Coord = Grid().MouseCoord(Point.x(), Point.y());
        return Coord.X < 0 || Coord.Y < 0 ? nullptr : CellAtGridCoord(Grid(), Coord.X, Coord.Y);
    }
    QAccessibleInterface* focusChild() const override
    {
        if (!Grid().hasFocus())
            return QAccessibleWidget::focusChild();
        return CellAtGridCoord(Grid(), Grid().Col(), Grid().Row());
    }

    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int Row, int Column) const override
    {
        return Row < 0 || Column < 0 ? nullptr : CellOf(Grid(), Row, Column);
    }
    QString columnDescription(int Column) const override
    {
        if (Column < 0 || Column >= columnCount() || Grid().FixedRows() == 0)
            return QString();
        return Grid().CellDisplayText(GridCol(Grid(), Column), 0);
    }
    QString rowDescription(int Row) const override
    {
        if (Row < 0 || Row >= rowCount() || Grid().FixedCols() == 0)
            return QString();
        return Grid().CellDisplayText(0, GridRow(Grid(), Row));
    }
    int columnCount() const override { return TShape(Grid()).Columns; }
    int rowCount() const override { return TShape(Grid()).Rows; }

    // The selection is one rectangle of scrolling cells.
    TGridRect Selected() const
    {
        TGridRect Sel = Grid().Selection();
        Sel.Left -= Grid().FixedCols();
        Sel.Right -= Grid().FixedCols();
        Sel.Top -= Grid().FixedRows();
        Sel.Bottom -= Grid().FixedRows();
        return Sel;
    }
    bool AllRowsSelected() const { return Selected().Top == 0 && Selected().Bottom == rowCount() - 1; }
    bool AllColumnsSelected() const { return Selected().Left == 0 && Selected().Right == columnCount() - 1; }

    int selectedCellCount() const override
    {
        const TGridRect Sel = Selected();
        return ClampToInt((qint64(Sel.Right) - Sel.Left + 1) * (qint64(Sel.Bottom) - Sel.Top + 1));
    }
    // Lists are cut at MaxListed: a selection of every row of a data grid is not made into 2^31
    // interfaces. The counts stay whole.
    static constexpr int MaxListed = 4096;
    QList<QAccessibleInterface*> selectedCells() const override
    {
        QList<QAccessibleInterface*> Cells;
        const TGridRect Sel = Selected();
        for (int Row = Sel.Top; Row <= Sel.Bottom && Cells.size() < MaxListed; ++Row)
            for (int Column = Sel.Left; Column <= Sel.Right && Cells.size() < MaxListed; ++Column)
                if (QAccessibleInterface* Cell = CellOf(Grid(), Row, Column))
                    Cells.append(Cell);
        return Cells;
    }
    int selectedColumnCount() const override
    {
        return AllRowsSelected() ? Selected().Right - Selected().Left + 1 : 0;
    }
    int selectedRowCount() const override
    {
        return AllColumnsSelected() ? Selected().Bottom - Selected().Top + 1 : 0;
    }
    QList<int> selectedColumns() const override
    {
        QList<int> Columns;
        if (AllRowsSelected())
            for (int Column = Selected().Left; Column <= Selected().Right && Columns.size() < MaxListed; ++Column)
                Columns.append(Column);
        return Columns;
    }
    QList<int> selectedRows() const override
    {
        QList<int> Rows;
        if (AllColumnsSelected())
            for (int Row = Selected().Top; Row <= Selected().Bottom && Rows.size() < MaxListed; ++Row)
                Rows.append(Row);
        return Rows;
    }
    bool isColumnSelected(int Column) const override
    {
        return AllRowsSelected() && Column >= Selected().Left && Column <= Selected().Right;
    }
    bool isRowSelected(int Row) const override
    {
        return AllColumnsSelected() && Row >= Selected().Top && Row <= Selected().Bottom;
    }
    // Selecting a row moves the current cell there, which with goRowSelect selects the row;
    // the other requests have no counterpart in a grid whose selection is one rectangle.
    bool selectRow(int Row) override
    {
        if (!(Grid().Options() & goRowSelect) || Row < 0 || Row >= rowCount())
            return false;
        Grid().FocusCell(Grid().Col(), GridRow(Grid(), Row));
        return Grid().Row() == GridRow(Grid(), Row);
    }
    bool selectColumn(int) override { return false; }
    bool unselectRow(int) override { return false; }
    bool unselectColumn(int) override { return false; }

    // Called by Qt for every model change sent for the grid: cells move with their rows as Qt's
    // item views move theirs, and die with them.
    void modelChange(QAccessibleTableModelChangeEvent* Event) override
    {
        TCustomGrid& G = Grid();
        if (CacheOf(G).FIds.isEmpty())
            return;
        const int First = Event->firstRow();
        const int Last = Event->lastRow();
        switch (Event->modelChangeType()) {
        case QAccessibleTableModelChangeEvent::ModelReset:
            DropCells(G);
            break;
        case QAccessibleTableModelChangeEvent::RowsInserted:
            RekeyCells(G, [&](int Row) -> std::optional<int> {
                if (Row < First)
                    return Row;
                const qint64 Moved = qint64(Row) + (qint64(Last) - First + 1);
                return Moved <= INT_MAX ? std::optional<int>(int(Moved)) : std::nullopt;
            });
            break;
        case QAccessibleTableModelChangeEvent::RowsRemoved:
            RekeyCells(G, [&](int Row) -> std::optional<int> {
                if (Row < First)
                    return Row;
                if (Row <= Last)
                    return std::nullopt;
                return int(qint64(Row) - (qint64(Last) - First + 1));
            });
            break;
        default:
            break;
        }
    }
};

QAccessibleInterface* GridFactory(const QString&, QObject* Object)
{
    if (auto* Grid = qobject_cast<TCustomGrid*>(Object))
        return new TGridTable(Grid);
    return nullptr;
}

void Send(QAccessibleInterface* Cell, QAccessible::Event Type)
{
    if (!Cell)
        return;
    QAccessibleEvent Event(Cell, Type);
    QAccessible::updateAccessibility(&Event);
}

void SendFocus(TCustomGrid& Grid)
{
    if (Grid.hasFocus())
        Send(CellAtGridCoord(Grid, Grid.Col(), Grid.Row()), QAccessible::Focus);
}

// A cell of A that is not in B, if there is one: when A is not within B, one of its corners is not.
std::optional<TGridCoord> CellOutside(const TGridRect& A, const TGridRect& B, const TGridCoord& Preferred)
{
    if (A.Contains(Preferred.X, Preferred.Y) && !B.Contains(Preferred.X, Preferred.Y))
        return Preferred;
    for (const TGridCoord& Corner : {TGridCoord{A.Left, A.Top}, TGridCoord{A.Right, A.Top},
                                     TGridCoord{A.Left, A.Bottom}, TGridCoord{A.Right, A.Bottom}})
        if (!B.Contains(Corner.X, Corner.Y))
            return Corner;
    return std::nullopt;
}

void SendModelChange(TCustomGrid& Grid, QAccessibleTableModelChangeEvent::ModelChangeType Type, qint64 ARow,
                     qint64 Count)
{
    const qint64 First = ARow - Grid.FixedRows();
    if (Count < 1 || First < 0 || First > INT_MAX)
        return;
    QAccessibleTableModelChangeEvent Event(&Grid, Type);
    Event.setFirstRow(int(First));
    Event.setLastRow(int(std::min<qint64>(First + Count - 1, INT_MAX)));
    Event.setFirstColumn(0);
    Event.setLastColumn(std::max(Grid.ColCount() - Grid.FixedCols() - 1, 0));
    QAccessible::updateAccessibility(&Event);
}

} // namespace

GridAccessibility::TCellCache::~TCellCache()
{
    for (const QAccessible::Id Id : std::as_const(FIds))
        QAccessible::deleteAccessibleInterface(Id);
}

void GridAccessibility::InstallFactory()
{
    // Taken out again when the library is unloaded (a plugin that brought it goes), so that Qt never
    // calls code that is gone. Qt's list of factories is made before this object is, so it is
    // destroyed after it at the program's end.
    static const struct TInstalled {
        TInstalled() { QAccessible::installFactory(GridFactory); }
        ~TInstalled() { QAccessible::removeFactory(GridFactory); }
    } Installed;
}

void GridAccessibility::SelectionChanged(TCustomGrid& Grid, const TGridCoord& From, const TGridRect& Before)
{
    if (!QAccessible::isActive())
        return;
    const TGridRect After = Grid.Selection();
    const auto Same = [](const TGridRect& A, const TGridRect& B) {
        return A.Left == B.Left && A.Top == B.Top && A.Right == B.Right && A.Bottom == B.Bottom;
    };
    if (!Same(Before, After)) {
        if (const auto Added = CellOutside(After, Before, {Grid.Col(), Grid.Row()}))
            Send(CellAtGridCoord(Grid, Added->X, Added->Y), QAccessible::SelectionAdd);
        if (const auto Removed = CellOutside(Before, After, From))
            Send(CellAtGridCoord(Grid, Removed->X, Removed->Y), QAccessible::SelectionRemove);
    }
}

void GridAccessibility::SelectionReplaced(TCustomGrid& Grid)
{
    if (!QAccessible::isActive())
        return;
    QAccessibleEvent Event(&Grid, QAccessible::SelectionWithin);
    QAccessible::updateAccessibility(&Event);
}

void GridAccessibility::CurrentCellMoved(TCustomGrid& Grid)
{
    if (QAccessible::isActive())
        SendFocus(Grid);
}

void GridAccessibility::FocusIn(TCustomGrid& Grid)
{
    if (!QAccessible::isActive())
        return;
    // Qt announces the grid itself once its focus-in handler returns: the cell comes after it.
    QTimer::singleShot(0, &Grid, [Grid = QPointer<TCustomGrid>(&Grid)] {
        if (Grid && QAccessible::isActive())
            SendFocus(*Grid);
    });
}

void GridAccessibility::CellsChanged(TCustomGrid& Grid, int ACol, int ARow)
{
    if (!QAccessible::isActive() || ARow < Grid.FixedRows() || ARow >= Grid.RowCount())
        return;
    const int First = ACol < 0 ? Grid.FixedCols() : ACol;
    const int Last = ACol < 0 ? Grid.ColCount() - 1 : ACol;
    if (First < Grid.FixedCols() || Last >= Grid.ColCount())
        return;
    QAccessibleTableModelChangeEvent Event(&Grid, QAccessibleTableModelChangeEvent::DataChanged);
    Event.setFirstRow(ARow - Grid.FixedRows());
    Event.setLastRow(ARow - Grid.FixedRows());
    Event.setFirstColumn(First - Grid.FixedCols());
    Event.setLastColumn(Last - Grid.FixedCols());
    QAccessible::updateAccessibility(&Event);
    for (int Col = First; Col <= Last; ++Col)
        Send(CellAtGridCoord(Grid, Col, ARow), QAccessible::NameChanged);
}

void GridAccessibility::RowsInserted(TCustomGrid& Grid, qint64 ARow, qint64 Count)
{
    if (QAccessible::isActive())
        SendModelChange(Grid, QAccessibleTableModelChangeEvent::RowsInserted, ARow, Count);
}

void GridAccessibility::RowsRemoved(TCustomGrid& Grid, qint64 ARow, qint64 Count)
{
    if (QAccessible::isActive())
        SendModelChange(Grid, QAccessibleTableModelChangeEvent::RowsRemoved, ARow, Count);
}

void GridAccessibility::Reset(TCustomGrid& Grid)
{
    DropCells(Grid);
    if (QAccessible::isActive()) {
        QAccessibleTableModelChangeEvent Event(&Grid, QAccessibleTableModelChangeEvent::ModelReset);
        QAccessible::updateAccessibility(&Event);
    }
}

void GridAccessibility::CountsChanged(TCustomGrid& Grid)
{
    auto& Ids = CacheOf(Grid).FIds;
    if (Ids.isEmpty())
        return;
    const TShape Shape(Grid);
    for (auto It = Ids.begin(); It != Ids.end();) {
        const auto* Cell = static_cast<const TGridCell*>(QAccessible::accessibleInterface(It.value()));
        if (Cell && Shape.Exists(Cell->FRow, Cell->FColumn)) {
            ++It;
            continue;
        }
        QAccessible::deleteAccessibleInterface(It.value());
        It = Ids.erase(It);
    }
}
