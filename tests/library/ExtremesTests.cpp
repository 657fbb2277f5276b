// Sizes, counts, record indexes and bit numbers at the ends of an int: each is refused with the
// grid's error or clamped, and nothing overflows (the sanitizer build runs these too).
#include "TestSupport.h"
#include "framework/GridTestHooks.h"
#include "components/ZQBitGrid.h"
#include "components/ZQDataGrid.h"
#include "framework/StringTable.h"

#include <gtest/gtest.h>

#include <QTest>

#include <climits>
#include <map>
#include <memory>
#include <string>

using namespace Exceptions;

namespace {

const int Limits[] = {INT_MIN, INT_MIN + 1, -1, 0, 1, INT_MAX - 10, INT_MAX - 1, INT_MAX};

template <typename TGrid>
void ShowFocused(TGrid& Grid, int Width = 320, int Height = 200)
{
    Grid.SetClientSize(Width, Height);
    Grid.show();
    Grid.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Grid));
    Grid.setFocus();
}

void Press(QWidget& Grid, Qt::Key Key, Qt::KeyboardModifiers Modifiers = {})
{
    QTest::keyClick(&Grid, Key, Modifiers);
}

// The texts a grid writes when it paints, by the top left corner of their cells.
class TWritten {
public:
    explicit TWritten(TCustomGrid& Grid) : FGrid(Grid)
    {
        TGridTestHooks::OnText(Grid.CellCanvas()) = [this](const QRect& Rect, int, int, const QString& Text) {
            FTexts[{Rect.x(), Rect.y()}] = Text;
        };
    }
    ~TWritten() { TGridTestHooks::OnText(FGrid.CellCanvas()) = nullptr; }
    std::string At(int ACol, int ARow)
    {
        FTexts.clear();
        FGrid.viewport()->grab();
        const QRect Cell = FGrid.CellRect(ACol, ARow);
        const auto Found = FTexts.find({Cell.x(), Cell.y()});
        return Cell.isEmpty() || Found == FTexts.end() ? "<not shown>" : Found->second.toStdString();
    }

private:
    TCustomGrid& FGrid;
    std::map<std::pair<int, int>, QString> FTexts;
};

bool Inside(const TCustomGrid& Grid)
{
    return Grid.Col() >= Grid.FixedCols() && Grid.Col() < Grid.ColCount() && Grid.Row() >= Grid.FixedRows() &&
           Grid.Row() < Grid.RowCount();
}

// Every size and count of the grid base at each extreme, then painted, walked by keys and probed
// by the mouse.
TEST(Extremes, GridSizesAndCountsAreClampedOrRefused)
{
    for (const int Value : Limits) {
        SCOPED_TRACE(Value);
        TDrawGrid Grid;
        int Drawn = 0;
        QObject::connect(&Grid, &TDrawGrid::OnDrawCell, [&] { ++Drawn; });
        ShowFocused(Grid);
        Grid.SetColCount(Value);
        Grid.SetRowCount(Value);
        EXPECT_EQ(Grid.ColCount(), std::max(Value, 1));
        EXPECT_EQ(Grid.RowCount(), std::max(Value, 1));
        Grid.SetColCount(Value == INT_MAX ? Value : 5);
        Grid.SetRowCount(Value == INT_MAX ? TCustomGrid::MaxRowCount : 5);
        Grid.SetDefaultColWidth(Value);
        EXPECT_EQ(Grid.DefaultColWidth(), std::max(Value, 0));
        Grid.SetColWidths(1, Value);
        EXPECT_EQ(Grid.ColWidths(1), std::max(Value, 0));
        Grid.SetDefaultRowHeight(Value);
        EXPECT_EQ(Grid.DefaultRowHeight(), std::max(Value, 1));
        Grid.SetGridLineWidth(Value);
        EXPECT_EQ(Grid.GridLineWidth(), std::max(Value, 0));
        for (auto SetFixed : {&TCustomGrid::SetFixedCols, &TCustomGrid::SetFixedRows}) {
            const QString Message = MessageOf([&] { (Grid.*SetFixed)(Value); });
            if (!Message.isEmpty()) {
                EXPECT_TRUE(Value < 0 || Value >= 5) << Message.toStdString();
            }
        }
        EXPECT_LT(Grid.FixedCols(), Grid.ColCount());
        EXPECT_LT(Grid.FixedRows(), Grid.RowCount());
        Grid.viewport()->grab();
        for (auto [Key, Modifiers] : std::initializer_list<std::pair<Qt::Key, Qt::KeyboardModifiers>>{
                 {Qt::Key_End, Qt::ControlModifier}, {Qt::Key_PageDown, {}}, {Qt::Key_Down, {}}, {Qt::Key_Right, {}},
                 {Qt::Key_End, {}}, {Qt::Key_PageUp, {}}, {Qt::Key_Home, Qt::ControlModifier}, {Qt::Key_Left, {}}}) {
            Press(Grid, Key, Modifiers);
            EXPECT_TRUE(Inside(Grid)) << Grid.Col() << ", " << Grid.Row();
            Grid.viewport()->grab();
        }
        Press(Grid, Qt::Key_End, Qt::ControlModifier);
        Press(Grid, Qt::Key_End);
        EXPECT_EQ(Grid.Row(), Grid.RowCount() - 1);
        EXPECT_EQ(Grid.Col(), Grid.ColCount() - 1);
        for (const QPoint At : {QPoint(0, 0), QPoint(319, 199), QPoint(160, 100)}) {
            const TGridCoord Cell = Grid.MouseCoord(At.x(), At.y());
            EXPECT_TRUE(Cell.X == -1 || (Cell.X >= 0 && Cell.X < Grid.ColCount() && Cell.Y < Grid.RowCount()));
            QTest::mouseClick(Grid.viewport(), Qt::LeftButton, {}, At);
            EXPECT_TRUE(Inside(Grid));
        }
        EXPECT_GT(Drawn, 0);
    }
}

// One column far wider than any screen among ten million: the keys move through them and keep the
// current column in view, as they do among ordinary columns.
TEST(Extremes, AColumnWiderThanAnyScreenAmongTenMillion)
{
    constexpr int Columns = 10000000;
    TDrawGrid Grid;
    ShowFocused(Grid);
    Grid.SetColCount(Columns);
    Grid.SetColWidths(2, INT_MAX - 10);
    Press(Grid, Qt::Key_Right);
    EXPECT_EQ(Grid.Col(), 2);
    EXPECT_EQ(Grid.LeftCol(), 2);
    EXPECT_FALSE(Grid.CellRect(2, 1).isEmpty());
    EXPECT_EQ(Grid.VisibleColCount(), 0);
    Press(Grid, Qt::Key_Right);
    EXPECT_EQ(Grid.LeftCol(), 3);
    Press(Grid, Qt::Key_End);
    EXPECT_EQ(Grid.Col(), Columns - 1);
    EXPECT_FALSE(Grid.CellRect(Columns - 1, 1).isEmpty());
    EXPECT_GT(Grid.VisibleColCount(), 1);
    Press(Grid, Qt::Key_Home);
    EXPECT_EQ(Grid.LeftCol(), 1);
    // As a fixed column it leaves no room for the others, which still take the keys.
    Grid.SetColWidths(0, INT_MAX - 10);
    Grid.viewport()->grab();
    Press(Grid, Qt::Key_End);
    EXPECT_EQ(Grid.Col(), Columns - 1);
    EXPECT_EQ(Grid.VisibleColCount(), 0);
}

class TCountedSource : public TZQGridData {
public:
    explicit TCountedSource(int Count) : Count(Count) {}
    int GetRecordCount() const override { return Count; }
    QString GetDataText(int Record, int) const override { return QString::number(Record); }
    int Count;
};

// 2^31 - 1 records, the most a source can count: the grid has a row for each, reaches the last
// by key and by index, and refuses an index past it with its error.
TEST(Extremes, ASourceOfTheLargestCountReachesItsLastRecord)
{
    TCountedSource Source(INT_MAX);
    TZQDataGrid Grid;
    for (int DataIndex : {-1, 0})
        Grid.Columns()->Add()->SetDataIndex(DataIndex);
    ShowFocused(Grid);
    TWritten Written(Grid);
    Grid.SetData(&Source);
    EXPECT_EQ(Grid.RowCount(), qint64(INT_MAX) + Grid.FixedRows());
    EXPECT_EQ(Written.At(1, 1), "0");

    Press(Grid, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(Grid.DataRow(), INT_MAX - 1);
    EXPECT_EQ(Written.At(1, Grid.Row()), std::to_string(INT_MAX - 1));
    Press(Grid, Qt::Key_Down);
    Press(Grid, Qt::Key_PageDown);
    EXPECT_EQ(Grid.DataRow(), INT_MAX - 1);

    const QString OutOfRange = FrameworkString(SIndexOutOfRange);
    Grid.SetDataRow(0);
    EXPECT_EQ(MessageOf([&] { Grid.SetDataRow(INT_MAX - 1); }), QString());
    EXPECT_EQ(Grid.DataRow(), INT_MAX - 1);
    EXPECT_EQ(MessageOf([&] { Grid.SetDataRow(INT_MAX); }), OutOfRange);
    EXPECT_EQ(MessageOf([&] { Grid.SetDataRow(INT_MIN); }), OutOfRange);
    EXPECT_EQ(Grid.DataRow(), INT_MAX - 1);

    // A removal and an insertion at the top keep the last record current.
    --Source.Count;
    Source.RecordRemoved(0);
    EXPECT_EQ(Grid.DataRow(), INT_MAX - 2);
    ++Source.Count;
    Source.RecordInserted(0);
    EXPECT_EQ(Grid.DataRow(), INT_MAX - 1);
    EXPECT_EQ(Written.At(1, Grid.Row()), std::to_string(INT_MAX - 1));
    Source.RecordChanged(INT_MAX);

    // With more fixed rows than one, the rows past INT_MAX do not exist.
    Grid.SetFixedRows(3);
    EXPECT_EQ(Grid.RowCount(), TCustomGrid::MaxRowCount);
    Press(Grid, Qt::Key_Home, Qt::ControlModifier);
    Press(Grid, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(Grid.Row(), INT_MAX);
    EXPECT_EQ(Written.At(1, INT_MAX), std::to_string(INT_MAX - 3));
    EXPECT_EQ(MessageOf([&] { Grid.SetFixedRows(INT_MAX); }), QString());
    EXPECT_EQ(Grid.RowCount(), TCustomGrid::MaxRowCount);
    EXPECT_EQ(MessageOf([&] { Grid.SetFixedRows(INT_MIN); }), FrameworkString(SFixedRowTooBig));
}

// The bit grid with the most columns its counts can hold, and bit numbers and cells at the ends.
TEST(Extremes, BitGridCountsAndBitNumbers)
{
    ZQ::TZQBitGrid Grid;
    ShowFocused(Grid);
    TWritten Written(Grid);
    Grid.SetDataCols(INT_MAX);
    EXPECT_EQ(Grid.ColCount(), INT_MAX);
    EXPECT_EQ(Written.At(1, 0), std::to_string(INT_MAX - 2));
    Press(Grid, Qt::Key_End);
    EXPECT_EQ(Grid.Col(), INT_MAX - 1);
    EXPECT_EQ(Written.At(INT_MAX - 1, 0), "0");
    Grid.SetDataCols(INT_MIN);
    EXPECT_EQ(Grid.DataCols(), 1);

    // Unchecked coordinates wrap around and convert back to where they came from.
    for (const int ARow : Limits)
        for (const int ACol : Limits) {
            int DataRow, BitNo, Row, Col;
            Grid.CellToDataCoord(ARow, ACol, DataRow, BitNo);
            Grid.DataToCellCoord(DataRow, BitNo, Row, Col);
            EXPECT_EQ(Row, ARow);
            EXPECT_EQ(Col, ACol);
        }
    Grid.SetDataBit(0, INT_MIN, true);
    Grid.SetDataBit(0, INT_MAX, true);
    EXPECT_EQ(Grid.GetDataWords(0), INT_MIN | 1);
    EXPECT_TRUE(Grid.GetDataBit(0, 32));
    for (const int DataRow : {INT_MIN, -1, 1, INT_MAX})
        EXPECT_THROW(Grid.GetDataBit(DataRow, 0), ERangeError);
}

} // namespace
