// The grids as screen readers see them through Qt's accessibility interfaces: tables of the
// scrolling cells with headers and a focused cell, the events they send, their names, and a data
// grid of 2^31 - 1 records answering without an object per row.
#include "components/ZQBitGrid.h"
#include "components/ZQDataGrid.h"
#include "framework/Grids_p.h"

#include "GalleryForm.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QVBoxLayout>
#include <QtGui/private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>

#include <climits>
#include <functional>
#include <memory>
#include <vector>

using ZQ::TZQBitGrid;

namespace {

// Records of three columns: "r<record>c<index>".
class TTextSource : public TZQGridData {
public:
    explicit TTextSource(int Count) : FCount(Count) {}
    int GetRecordCount() const override { return FCount; }
    QString GetDataText(int Record, int DataIndex) const override
    {
        return QStringLiteral("r%1c%2").arg(Record).arg(DataIndex);
    }
    void Insert(int Index)
    {
        ++FCount;
        RecordInserted(Index);
    }
    void Remove(int Index)
    {
        --FCount;
        RecordRemoved(Index);
    }
    void Change(int Index) { RecordChanged(Index); }

private:
    int FCount;
};

std::unique_ptr<TZQDataGrid> DataGrid(TTextSource& Source)
{
    auto Grid = std::make_unique<TZQDataGrid>();
    for (int I = 0; I < 3; ++I) {
        TZQDataGridColumn* Column = Grid->Columns()->Add();
        Column->SetTitle(QStringLiteral("Title %1").arg(I));
        Column->SetDataIndex(I);
    }
    Grid->SetData(&Source);
    return Grid;
}

// A grid shown in an active window, holding the focus.
void ShowFocused(QWidget& Grid)
{
    Grid.resize(400, 300);
    Grid.show();
    Grid.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Grid));
    Grid.setFocus();
    QCoreApplication::processEvents();
    ASSERT_TRUE(Grid.hasFocus());
}

QAccessibleTableInterface* TableOf(QWidget& Grid)
{
    QAccessibleInterface* Iface = QAccessible::queryAccessibleInterface(&Grid);
    return Iface ? Iface->tableInterface() : nullptr;
}

QString HeaderText(const QList<QAccessibleInterface*>& Headers)
{
    return Headers.size() == 1 ? Headers.front()->text(QAccessible::Name) : QStringLiteral("<%1 headers>").arg(Headers.size());
}

// One grid of each kind with what a screen reader should find in it.
struct TTableCase {
    const char* Name;
    std::function<std::unique_ptr<TCustomGrid>()> Make;
    int Rows, Columns;
    int Row, Column; // a cell to read, in the table's counting
    QString Text, ColumnHeader, RowHeader;
};

TEST(GridAccessibleTable, EachGridIsATableOfItsScrollingCellsWithHeadersAndTheFocusedCell)
{
    static TTextSource Source(5);
    const std::vector<TTableCase> Cases = {
        {"bit grid", [] {
             auto Grid = std::make_unique<TZQBitGrid>();
             Grid->SetDataRows(4);
             Grid->SetDataWords(2, 0x4);
             Grid->SetWordAddressTitleOffset(0x100);
             return std::unique_ptr<TCustomGrid>(std::move(Grid));
         },
         4, 8, 2, 5, QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("00000102")},
        // Its first column is fixed: the row headers.
        {"data grid", [] { return std::unique_ptr<TCustomGrid>(DataGrid(Source)); }, 5, 2, 3, 0, QStringLiteral("r3c1"),
         QStringLiteral("Title 1"), QStringLiteral("r3c0")},
    };
    for (const TTableCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        const std::unique_ptr<TCustomGrid> Grid = Case.Make();
        QAccessibleInterface* Iface = QAccessible::queryAccessibleInterface(Grid.get());
        ASSERT_NE(Iface, nullptr);
        EXPECT_EQ(Iface->role(), QAccessible::Table);
        QAccessibleTableInterface* Table = Iface->tableInterface();
        ASSERT_NE(Table, nullptr);
        EXPECT_EQ(Table->rowCount(), Case.Rows);
        EXPECT_EQ(Table->columnCount(), Case.Columns);
        const int HeaderColumn = Grid->FixedCols() > 0 ? 1 : 0;
        EXPECT_EQ(Iface->childCount(), (Case.Rows + 1) * (Case.Columns + HeaderColumn));

        QAccessibleInterface* Cell = Table->cellAt(Case.Row, Case.Column);
        ASSERT_NE(Cell, nullptr);
        EXPECT_EQ(Cell->role(), QAccessible::Cell);
        EXPECT_EQ(Cell->text(QAccessible::Name), Case.Text);
        EXPECT_EQ(Cell->parent(), Iface);
        QAccessibleTableCellInterface* CellIface = Cell->tableCellInterface();
        ASSERT_NE(CellIface, nullptr);
        EXPECT_EQ(CellIface->rowIndex(), Case.Row);
        EXPECT_EQ(CellIface->columnIndex(), Case.Column);
        EXPECT_EQ(CellIface->table(), Iface);
        // The same cell asked again is the same object, with the same id.
        EXPECT_EQ(Table->cellAt(Case.Row, Case.Column), Cell);
        // Children are numbered as Qt's tables number theirs, headers first.
        const int Index = Iface->indexOfChild(Cell);
        EXPECT_EQ(Index, (Case.Row + 1) * (Case.Columns + HeaderColumn) + Case.Column + HeaderColumn);
        EXPECT_EQ(Iface->child(Index), Cell);

        const QList<QAccessibleInterface*> ColumnHeaders = CellIface->columnHeaderCells();
        EXPECT_EQ(HeaderText(ColumnHeaders), Case.ColumnHeader);
        if (!ColumnHeaders.isEmpty()) {
            EXPECT_EQ(ColumnHeaders.front()->role(), QAccessible::ColumnHeader);
            EXPECT_EQ(Iface->child(Case.Column + HeaderColumn), ColumnHeaders.front());
        }
        EXPECT_EQ(Table->columnDescription(Case.Column), Case.ColumnHeader);
        if (HeaderColumn) {
            EXPECT_EQ(HeaderText(CellIface->rowHeaderCells()), Case.RowHeader);
            EXPECT_EQ(CellIface->rowHeaderCells().front()->role(), QAccessible::RowHeader);
            EXPECT_EQ(Table->rowDescription(Case.Row), Case.RowHeader);
        } else {
            EXPECT_TRUE(CellIface->rowHeaderCells().isEmpty());
        }
        EXPECT_EQ(Table->cellAt(Case.Rows, 0), nullptr);
        EXPECT_EQ(Table->cellAt(0, Case.Columns), nullptr);

        ShowFocused(*Grid);
        Grid->FocusCell(Case.Column + Grid->FixedCols(), Case.Row + Grid->FixedRows());
        EXPECT_TRUE(Cell->state().focused);
        EXPECT_TRUE(Cell->state().selected);
        EXPECT_TRUE(CellIface->isSelected());
        EXPECT_FALSE(Cell->state().invisible);
        EXPECT_EQ(Iface->focusChild(), Cell);
        EXPECT_FALSE(Table->cellAt(0, 0)->state().focused);
        // Its rectangle is the cell's on the screen, and a point in it finds it.
        const QRect Rect = Cell->rect();
        const QRect Client = Grid->CellRect(Case.Column + Grid->FixedCols(), Case.Row + Grid->FixedRows());
        EXPECT_EQ(Rect, QRect(Grid->viewport()->mapToGlobal(Client.topLeft()), Client.size()));
        EXPECT_EQ(Iface->childAt(Rect.center().x(), Rect.center().y()), Cell);
        EXPECT_TRUE(Iface->rect().contains(Rect));
    }
}

// What an update handler saw of one event, copied while the event lived.
struct TSeen {
    QAccessible::Event Type;
    QAccessibleInterface* Iface;
    int ModelChange = -1;
    int FirstRow = -1;
    int LastRow = -1;
};

std::vector<TSeen>* Seen = nullptr;

void Capture(QAccessibleEvent* Event)
{
    if (!Seen)
        return;
    TSeen Item{Event->type(), Event->accessibleInterface()};
    if (Event->type() == QAccessible::TableModelChanged) {
        const auto* Change = static_cast<QAccessibleTableModelChangeEvent*>(Event);
        Item.ModelChange = Change->modelChangeType();
        Item.FirstRow = Change->firstRow();
        Item.LastRow = Change->lastRow();
    }
    Seen->push_back(Item);
}

// Accessibility switched on as a screen reader's bridge switches it on. Every platform, the
// offscreen one too, has the basic accessibility that Qt's own tests switch on so.
void SetActive(bool Active)
{
    QPlatformAccessibility* Platform = QGuiApplicationPrivate::platformIntegration()->accessibility();
    ASSERT_NE(Platform, nullptr);
    Platform->setActive(Active);
}

// Listens to every accessibility event, as a screen reader's bridge would, while it lives.
class TListening {
public:
    TListening()
    {
        FPrevious = QAccessible::installUpdateHandler(Capture);
        SetActive(true);
        Seen = &FSeen;
    }
    ~TListening()
    {
        Seen = nullptr;
        QAccessible::installUpdateHandler(FPrevious);
        SetActive(false);
    }
    std::vector<TSeen> Take() { return std::exchange(FSeen, {}); }

private:
    QAccessible::UpdateHandler FPrevious = nullptr;
    std::vector<TSeen> FSeen;
};

bool Has(const std::vector<TSeen>& Events, QAccessible::Event Type, QAccessibleInterface* Iface)
{
    return std::any_of(Events.begin(), Events.end(), [&](const TSeen& E) { return E.Type == Type && E.Iface == Iface; });
}

const TSeen* ModelChange(const std::vector<TSeen>& Events)
{
    for (const TSeen& E : Events)
        if (E.Type == QAccessible::TableModelChanged)
            return &E;
    return nullptr;
}

TEST(GridAccessibleEvents, AMoveTheFocusASelectionABitARecordAndAnInsertionAreAnnounced)
{
    TListening Listening;
    ASSERT_TRUE(QAccessible::isActive());

    // A move of the current cell: the new cell is selected and focused, the old one deselected.
    TZQBitGrid Bits;
    Bits.SetDataRows(4);
    ShowFocused(Bits);
    QAccessibleTableInterface* BitTable = TableOf(Bits);
    ASSERT_NE(BitTable, nullptr);
    Listening.Take();
    QAccessibleInterface* Old = BitTable->cellAt(Bits.Row() - 1, Bits.Col() - 1);
    Bits.FocusCell(3, 2);
    QAccessibleInterface* New = BitTable->cellAt(1, 2);
    std::vector<TSeen> Events = Listening.Take();
    EXPECT_TRUE(Has(Events, QAccessible::Focus, New));
    EXPECT_TRUE(Has(Events, QAccessible::SelectionAdd, New));
    EXPECT_TRUE(Has(Events, QAccessible::SelectionRemove, Old));
    ASSERT_FALSE(Events.empty());
    EXPECT_EQ(Events.back().Type, QAccessible::Focus);

    // Selecting every cell, and the next move ending that: one event for the table each time, not
    // one per cell.
    QAccessibleInterface* BitsIface = QAccessible::queryAccessibleInterface(&Bits);
    Listening.Take();
    Bits.SelectAll();
    Events = Listening.Take();
    ASSERT_EQ(Events.size(), 1u);
    EXPECT_EQ(Events[0].Type, QAccessible::SelectionWithin);
    EXPECT_EQ(Events[0].Iface, BitsIface);
    EXPECT_TRUE(BitTable->cellAt(3, 7)->tableCellInterface()->isSelected());
    Bits.FocusCell(4, 2);
    EXPECT_TRUE(Has(Listening.Take(), QAccessible::SelectionWithin, BitsIface));
    EXPECT_FALSE(BitTable->cellAt(3, 7)->tableCellInterface()->isSelected());
    Bits.FocusCell(3, 2);

    // The focus coming back: after Qt's event for the grid, one for its current cell.
    Bits.clearFocus();
    Listening.Take();
    Bits.setFocus();
    QCoreApplication::processEvents();
    Events = Listening.Take();
    ASSERT_FALSE(Events.empty());
    EXPECT_EQ(Events.back().Type, QAccessible::Focus);
    EXPECT_EQ(Events.back().Iface, New);

    // A toggled bit changes its cell's name; a word changes its row's.
    Bits.SetDataBit(1, 8 - 1 - 4, true);
    Events = Listening.Take();
    EXPECT_TRUE(Has(Events, QAccessible::NameChanged, BitTable->cellAt(1, 4)));
    ASSERT_NE(ModelChange(Events), nullptr);
    EXPECT_EQ(ModelChange(Events)->ModelChange, QAccessibleTableModelChangeEvent::DataChanged);
    EXPECT_EQ(ModelChange(Events)->FirstRow, 1);
    Bits.SetDataWords(3, 0xFF);
    Events = Listening.Take();
    for (int Column = 0; Column < 8; ++Column)
        EXPECT_TRUE(Has(Events, QAccessible::NameChanged, BitTable->cellAt(3, Column))) << Column;
    // An unchanged bit announces nothing.
    Bits.SetDataBit(1, 3, true);
    EXPECT_TRUE(Listening.Take().empty());

    // Records: a change names its row's cells anew; an insertion moves the cells below it down,
    // the same objects; a removal drops its cells; a new source resets the table.
    TTextSource Source(6);
    const std::unique_ptr<TZQDataGrid> Grid = DataGrid(Source);
    ShowFocused(*Grid);
    QAccessibleTableInterface* Table = TableOf(*Grid);
    ASSERT_NE(Table, nullptr);
    QAccessibleInterface* Above = Table->cellAt(1, 0);
    QAccessibleInterface* Below = Table->cellAt(4, 1);
    Listening.Take();
    Source.Change(4);
    Events = Listening.Take();
    for (int Column = 0; Column < 2; ++Column)
        EXPECT_TRUE(Has(Events, QAccessible::NameChanged, Table->cellAt(4, Column))) << Column;

    Source.Insert(2);
    Events = Listening.Take();
    ASSERT_NE(ModelChange(Events), nullptr);
    EXPECT_EQ(ModelChange(Events)->ModelChange, QAccessibleTableModelChangeEvent::RowsInserted);
    EXPECT_EQ(ModelChange(Events)->FirstRow, 2);
    EXPECT_EQ(ModelChange(Events)->LastRow, 2);
    EXPECT_EQ(Table->rowCount(), 7);
    EXPECT_EQ(Table->cellAt(1, 0), Above);
    EXPECT_EQ(Table->cellAt(5, 1), Below);
    EXPECT_EQ(Below->tableCellInterface()->rowIndex(), 5);
    EXPECT_EQ(Below->text(QAccessible::Name), QStringLiteral("r5c2"));

    const QAccessible::Id Dying = QAccessible::uniqueId(Table->cellAt(3, 1));
    Source.Remove(3);
    Events = Listening.Take();
    ASSERT_NE(ModelChange(Events), nullptr);
    EXPECT_EQ(ModelChange(Events)->ModelChange, QAccessibleTableModelChangeEvent::RowsRemoved);
    EXPECT_EQ(ModelChange(Events)->FirstRow, 3);
    EXPECT_EQ(QAccessible::accessibleInterface(Dying), nullptr);
    EXPECT_EQ(Table->cellAt(4, 1), Below);

    TTextSource Other(2);
    Grid->SetData(&Other);
    Events = Listening.Take();
    ASSERT_NE(ModelChange(Events), nullptr);
    EXPECT_EQ(ModelChange(Events)->ModelChange, QAccessibleTableModelChangeEvent::ModelReset);
    EXPECT_EQ(Table->rowCount(), 2);
    EXPECT_NE(Table->cellAt(1, 1), nullptr);
    EXPECT_EQ(TCustomGridPrivate::Of(*Grid).FAccessibleCells.FIds.size(), 1);
}

// While nothing listens the grids make no cell for an event: a grid nobody reads pays nothing.
TEST(GridAccessibleEvents, NothingIsMadeOrSentWhileNothingListens)
{
    std::vector<TSeen> Events;
    Seen = &Events;
    const QAccessible::UpdateHandler Previous = QAccessible::installUpdateHandler(Capture);
    SetActive(false);
    ASSERT_FALSE(QAccessible::isActive());
    TZQBitGrid Bits;
    Bits.SetDataRows(4);
    ShowFocused(Bits);
    Bits.FocusCell(3, 2);
    Bits.SetDataBit(1, 1, true);
    Bits.SetDataWords(2, 0xF0);
    Bits.clearFocus();
    Bits.setFocus();
    QCoreApplication::processEvents();
    TTextSource Source(3);
    const std::unique_ptr<TZQDataGrid> Grid = DataGrid(Source);
    ShowFocused(*Grid);
    Source.Insert(0);
    Source.Change(1);
    Source.Remove(2);
    Grid->FocusCell(1, 2);
    EXPECT_TRUE(Events.empty()) << Events.size() << " events";
    EXPECT_TRUE(TCustomGridPrivate::Of(Bits).FAccessibleCells.FIds.isEmpty());
    EXPECT_TRUE(TCustomGridPrivate::Of(*Grid).FAccessibleCells.FIds.isEmpty());
    QAccessible::installUpdateHandler(Previous);
    Seen = nullptr;
}

TEST(GridAccessibleTable, AllRecordsOfTheLargestSourceAnswerWithoutAnObjectPerRow)
{
    TTextSource Source(INT_MAX);
    const std::unique_ptr<TZQDataGrid> Grid = DataGrid(Source);
    QAccessibleInterface* Iface = QAccessible::queryAccessibleInterface(Grid.get());
    QAccessibleTableInterface* Table = Iface->tableInterface();
    EXPECT_EQ(Table->rowCount(), INT_MAX);
    EXPECT_EQ(Table->columnCount(), 2);
    // Counted in 64 bits, the children are more than an int holds: the count stops at its largest.
    EXPECT_EQ(Iface->childCount(), INT_MAX);
    QAccessibleInterface* Far = Table->cellAt(INT_MAX - 1, 1);
    ASSERT_NE(Far, nullptr);
    EXPECT_EQ(Far->text(QAccessible::Name), QStringLiteral("r%1c2").arg(INT_MAX - 1));
    EXPECT_EQ(Far->tableCellInterface()->rowIndex(), INT_MAX - 1);
    EXPECT_EQ(Iface->indexOfChild(Far), -1);
    EXPECT_TRUE(Far->rect().isEmpty());
    EXPECT_TRUE(Far->state().invisible);
    EXPECT_EQ(Table->cellAt(INT_MAX, 0), nullptr);
    QAccessibleInterface* Last = Iface->child(INT_MAX - 1);
    ASSERT_NE(Last, nullptr);
    EXPECT_EQ(Iface->indexOfChild(Last), INT_MAX - 1);
    // The far row's header above it, the far cell, the last child: three objects, nothing per row.
    EXPECT_EQ(HeaderText(Far->tableCellInterface()->columnHeaderCells()), QStringLiteral("Title 2"));
    EXPECT_EQ(TCustomGridPrivate::Of(*Grid).FAccessibleCells.FIds.size(), 3);
    // Every row selected (row selection over the whole source) counts whole and lists a part.
    Grid->SetOptions(Grid->Options() | goRowSelect | goRangeSelect);
    Grid->FocusCell(Grid->FixedCols(), 1);
    Grid->FocusCell(Grid->FixedCols(), INT_MAX, false);
    EXPECT_EQ(Table->selectedRowCount(), INT_MAX);
    EXPECT_EQ(Table->selectedCellCount(), INT_MAX);
    EXPECT_TRUE(Table->isRowSelected(INT_MAX - 1));
    EXPECT_LT(Table->selectedCells().size(), 10000);
}

// A grid is named by its accessibleName, else by the label whose buddy it is, as every Qt widget;
// the gallery names and describes its four grids, and their labels are their buddies.
TEST(GridAccessibleNames, FollowQtsConventionsAndTheGalleryNamesItsGrids)
{
    QWidget Window;
    auto* Layout = new QVBoxLayout(&Window);
    auto* Label = new QLabel(QStringLiteral("&Memory bits"));
    auto* Grid = new TZQBitGrid;
    Label->setBuddy(Grid);
    Layout->addWidget(Label);
    Layout->addWidget(Grid);
    QAccessibleInterface* Iface = QAccessible::queryAccessibleInterface(Grid);
    EXPECT_EQ(Iface->text(QAccessible::Name), QStringLiteral("Memory bits"));
    Grid->setAccessibleName(QStringLiteral("Bits"));
    Grid->setAccessibleDescription(QStringLiteral("What the bits are"));
    EXPECT_EQ(Iface->text(QAccessible::Name), QStringLiteral("Bits"));
    EXPECT_EQ(Iface->text(QAccessible::Description), QStringLiteral("What the bits are"));

    TGalleryForm Form;
    const QList<TCustomGrid*> Grids = Form.findChildren<TCustomGrid*>();
    ASSERT_EQ(Grids.size(), 4);
    QStringList Names;
    for (TCustomGrid* Each : Grids) {
        SCOPED_TRACE(Each->objectName().toStdString());
        QAccessibleInterface* GridIface = QAccessible::queryAccessibleInterface(Each);
        EXPECT_EQ(GridIface->role(), QAccessible::Table);
        EXPECT_FALSE(GridIface->text(QAccessible::Name).isEmpty());
        EXPECT_FALSE(GridIface->text(QAccessible::Description).isEmpty());
        Names << GridIface->text(QAccessible::Name);
        const auto Labels = GridIface->relations(QAccessible::Label);
        ASSERT_EQ(Labels.size(), 1);
        auto* Buddy = qobject_cast<QLabel*>(Labels.front().first->object());
        ASSERT_NE(Buddy, nullptr);
        EXPECT_EQ(Buddy->buddy(), Each);
    }
    Names.removeDuplicates();
    EXPECT_EQ(Names.size(), 4);
}

} // namespace
