#include "TestSupport.h"
#include "framework/GridTestHooks.h"

#include "framework/Grids.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>

namespace {

// A grid that records what the base asks of it.
class TTestGrid : public TCustomGrid {
public:
    TTestGrid()
    {
        resize(400, 300);
        SetScrollBars(TScrollStyle::ssNone);
        TGridTestHooks::OnInvalidateRect(*this) = [this](const QRect& Rect) { Invalidated += Rect; };
    }
    struct TDrawn {
        int ACol, ARow;
        QRect Rect;
        TGridDrawState State;
        QColor Brush;
    };
    QList<TDrawn> Drawn;
    QList<TGridCoord> Asked;
    bool Refuse = false;
    QRegion Invalidated;
    QString EditText = "text";
    QString Stored;

    using TCustomGrid::KeyPress;

protected:
    void DrawCell(int ACol, int ARow, const QRect& Rect, TGridDrawState State) override
    {
        Drawn.append({ACol, ARow, Rect, State, CellCanvas().Brush.Color});
    }
    bool SelectCell(int ACol, int ARow) override
    {
        Asked.append({ACol, ARow});
        return !Refuse;
    }
    QString GetEditText(int, int) override { return EditText; }
    void SetEditText(int, int, const QString& Value) override { Stored = Value; }
};

} // namespace

TEST(GridCounts, FixedCountsStayBelowTheTotals)
{
    TTestGrid Grid;
    EXPECT_EQ(Grid.ColCount(), 5);
    EXPECT_EQ(Grid.FixedCols(), 1);
    EXPECT_THROW(Grid.SetFixedCols(5), EInvalidGridOperation);
    EXPECT_THROW(Grid.SetFixedRows(-1), EInvalidGridOperation);
    try {
        Grid.SetFixedRows(7);
    } catch (const EInvalidGridOperation& E) {
        EXPECT_EQ(E.Message(), "Fixed row count must be less than row count");
    }
    EXPECT_EQ(Grid.FixedRows(), 1);
    Grid.SetFixedCols(4);
    Grid.SetColCount(3);
    EXPECT_EQ(Grid.FixedCols(), 2);
    Grid.SetRowCount(0);
    EXPECT_EQ(Grid.RowCount(), 1);
    EXPECT_EQ(Grid.FixedRows(), 0);
}

TEST(GridCounts, LoweringTheRowCountBelowTheCurrentRowMovesItToTheLastRow)
{
    TTestGrid Grid;
    Grid.SetRowCount(20);
    Grid.SetRow(15);
    Grid.SetRowCount(10);
    EXPECT_EQ(Grid.Row(), 9);
    EXPECT_THROW(Grid.SetRow(10), EInvalidGridOperation);
    EXPECT_THROW(Grid.SetRow(0), EInvalidGridOperation);
}

TEST(GridGeometry, CellsFollowWidthsLinesAndScrolling)
{
    TTestGrid Grid;
    Grid.SetColCount(4);
    Grid.SetRowCount(100);
    Grid.SetColWidths(0, 30);
    Grid.SetDefaultRowHeight(20);
    EXPECT_EQ(Grid.CellRect(0, 0), QRect(0, 0, 30, 20));
    EXPECT_EQ(Grid.CellRect(1, 1), QRect(31, 21, 64, 20));
    EXPECT_EQ(Grid.MouseCoord(35, 25), (TGridCoord{1, 1}));
    EXPECT_EQ(Grid.MouseCoord(30, 25), (TGridCoord{-1, -1}));
    EXPECT_EQ(Grid.MouseCoord(399, 5), (TGridCoord{-1, -1}));
    const int Visible = Grid.VisibleRowCount();
    EXPECT_EQ(Visible, (300 - 21 + 1) / 21);
    Grid.SetTopRow(50);
    EXPECT_EQ(Grid.TopRow(), 50);
    EXPECT_TRUE(Grid.CellRect(1, 49).isEmpty());
    EXPECT_EQ(Grid.CellRect(1, 50), QRect(31, 21, 64, 20));
    // The fixed row stays where it is.
    EXPECT_EQ(Grid.CellRect(1, 0), QRect(31, 0, 64, 20));
    Grid.SetTopRow(1000);
    EXPECT_EQ(Grid.TopRow(), 100 - Visible);
}

TEST(GridCurrentCell, EveryMoveAsksSelectCellWhichMayRefuse)
{
    TTestGrid Grid;
    Grid.SetRow(3);
    ASSERT_EQ(Grid.Asked.size(), 1);
    EXPECT_EQ(Grid.Asked[0], (TGridCoord{1, 3}));
    Grid.Refuse = true;
    Grid.SetCol(2);
    EXPECT_EQ(Grid.Col(), 1);
    EXPECT_EQ(Grid.Asked.size(), 2);
    Grid.Refuse = false;
    Grid.show();
    Grid.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Grid));
    Grid.setFocus();
    QTest::keyClick(&Grid, Qt::Key_Right);
    QTest::keyClick(&Grid, Qt::Key_Down);
    EXPECT_EQ(Grid.Col(), 2);
    EXPECT_EQ(Grid.Row(), 4);
    QTest::keyClick(&Grid, Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(Grid.Row(), 4);
    QTest::keyClick(&Grid, Qt::Key_Home);
    EXPECT_EQ(Grid.Col(), 1);
    QTest::keyClick(&Grid, Qt::Key_Up);
    QTest::keyClick(&Grid, Qt::Key_Up);
    QTest::keyClick(&Grid, Qt::Key_Up);
    QTest::keyClick(&Grid, Qt::Key_Up);
    EXPECT_EQ(Grid.Row(), 1);
}

TEST(GridCurrentCell, AClickSelectsADataCellAndShiftExtendsTheRange)
{
    TTestGrid Grid;
    Grid.show();
    const QRect Cell = Grid.CellRect(3, 2);
    QTest::mouseClick(Grid.viewport(), Qt::LeftButton, {}, Cell.center());
    EXPECT_EQ(Grid.Col(), 3);
    EXPECT_EQ(Grid.Row(), 2);
    QTest::mouseClick(Grid.viewport(), Qt::LeftButton, Qt::ShiftModifier, Grid.CellRect(4, 4).center());
    const TGridRect Sel = Grid.Selection();
    EXPECT_EQ(Sel.Left, 3);
    EXPECT_EQ(Sel.Top, 2);
    EXPECT_EQ(Sel.Right, 4);
    EXPECT_EQ(Sel.Bottom, 4);
    // A click on a fixed cell moves nothing.
    QTest::mouseClick(Grid.viewport(), Qt::LeftButton, {}, Grid.CellRect(0, 3).center());
    EXPECT_EQ(Grid.Col(), 4);
}

TEST(GridPainting, OnlyVisibleCellsAreDrawnWithTheirColoursAndStates)
{
    TTestGrid Grid;
    Grid.SetRowCount(1000000);
    Grid.SetColor(Qt::white);
    Grid.SetFixedColor(Qt::gray);
    Grid.show();
    Grid.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Grid));
    Grid.setFocus();
    Grid.Drawn.clear();
    Grid.viewport()->grab();
    const int Rows = 1 + Grid.VisibleRowCount() + 1; // the fixed row, whole rows, a partial one
    EXPECT_EQ(Grid.Drawn.size(), 5 * Rows);
    for (const auto& Cell : Grid.Drawn) {
        const bool Fixed = Cell.ACol == 0 || Cell.ARow == 0;
        EXPECT_EQ(bool(Cell.State & gdFixed), Fixed);
        if (Fixed) {
            EXPECT_EQ(Cell.Brush, QColor(Qt::gray));
        } else if (!(Cell.State & gdSelected)) {
            EXPECT_EQ(Cell.Brush, QColor(Qt::white));
        }
        EXPECT_EQ(bool(Cell.State & gdFocused), Cell.ACol == 1 && Cell.ARow == 1);
    }
}

TEST(GridPainting, RepaintsCoverOneCellOneRowOneColumnOrAll)
{
    TTestGrid Grid;
    Grid.Invalidated = QRegion();
    Grid.InvalidateCell(2, 3);
    EXPECT_EQ(Grid.Invalidated, QRegion(Grid.CellRect(2, 3)));
    Grid.Invalidated = QRegion();
    Grid.InvalidateRow(2);
    EXPECT_EQ(Grid.Invalidated, QRegion(0, Grid.CellRect(0, 2).y(), Grid.ClientSize().width(), 24));
    Grid.Invalidated = QRegion();
    Grid.InvalidateCol(0);
    EXPECT_EQ(Grid.Invalidated, QRegion(0, 0, 64, Grid.ClientSize().height()));
    Grid.Invalidated = QRegion();
    Grid.InvalidateCell(2, 400);
    EXPECT_TRUE(Grid.Invalidated.isEmpty());
}

TEST(GridKeys, EnterIsConsumedAndTogglesTheEditorWhenEditingIsOn)
{
    TTestGrid Grid;
    QChar Key = u'\r';
    Grid.KeyPress(Key);
    EXPECT_EQ(Key, QChar(0));
    EXPECT_FALSE(Grid.EditorMode());

    Grid.SetOptions(Grid.Options() | goEditing);
    Grid.show();
    Key = u'\r';
    Grid.KeyPress(Key);
    ASSERT_TRUE(Grid.EditorMode());
    auto* Editor = Grid.viewport()->findChild<QLineEdit*>();
    ASSERT_NE(Editor, nullptr);
    EXPECT_EQ(Editor->text(), "text");
    EXPECT_EQ(Editor->geometry(), Grid.CellRect(1, 1));
    QTest::keyClicks(Editor, "ab");
    EXPECT_EQ(Grid.Stored, "ab");
    Key = u'\r';
    Grid.KeyPress(Key);
    EXPECT_FALSE(Grid.EditorMode());

    // The OnKeyPress handler sees the key first and may change it.
    struct TSwallow {
        void Handle(QObject*, QChar& K) { K = u'x'; }
    } Swallow;
    Grid.OnKeyPress = TKeyPressEvent(&Swallow, &TSwallow::Handle);
    Key = u'\r';
    Grid.KeyPress(Key);
    EXPECT_EQ(Key, QChar(u'x'));
    EXPECT_FALSE(Grid.EditorMode());
}

TEST(GridMouse, DraggingAColumnBorderInTheTitleRowResizesWithColSizing)
{
    TTestGrid Grid;
    Grid.show();
    const QPoint Border(64, 10);
    QTest::mousePress(Grid.viewport(), Qt::LeftButton, {}, Border);
    QMouseEvent Move(QEvent::MouseMove, QPointF(Border + QPoint(20, 0)), Grid.viewport()->mapToGlobal(QPointF(Border + QPoint(20, 0))), Qt::LeftButton, Qt::LeftButton, {});
    QApplication::sendEvent(Grid.viewport(), &Move);
    QTest::mouseRelease(Grid.viewport(), Qt::LeftButton, {}, Border + QPoint(20, 0));
    EXPECT_EQ(Grid.ColWidths(0), 64);

    Grid.SetOptions(Grid.Options() | goColSizing);
    QTest::mousePress(Grid.viewport(), Qt::LeftButton, {}, Border);
    QApplication::sendEvent(Grid.viewport(), &Move);
    QTest::mouseRelease(Grid.viewport(), Qt::LeftButton, {}, Border + QPoint(20, 0));
    EXPECT_EQ(Grid.ColWidths(0), 84);
}

TEST(GridEvents, HandlersCompareByObjectAndFunction)
{
    struct THost {
        void A(QObject*) { ++Calls; }
        void B(QObject*) {}
        int Calls = 0;
    } One, Two;
    const TNotifyEvent Empty;
    EXPECT_FALSE(Empty);
    EXPECT_EQ(TNotifyEvent(&One, &THost::A), TNotifyEvent(&One, &THost::A));
    EXPECT_NE(TNotifyEvent(&One, &THost::A), TNotifyEvent(&One, &THost::B));
    EXPECT_NE(TNotifyEvent(&One, &THost::A), TNotifyEvent(&Two, &THost::A));
    EXPECT_NE(TNotifyEvent(&One, &THost::A), Empty);
    TTestGrid Grid;
    Grid.OnDblClick = TNotifyEvent(&One, &THost::A);
    Grid.DblClick();
    EXPECT_EQ(One.Calls, 1);
}
