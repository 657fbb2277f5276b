// The grid base's habits of an item view: select-all, the clipboard, a column fitted to its texts
// by a double-click on its border, and the tooltips of texts that do not fit.
#include "TestSupport.h"

#include "framework/Grids.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QMimeData>
#include <QTest>
#include <QToolTip>

#include <functional>

namespace {

constexpr int LeftMargin = 3;
constexpr int RightMargin = 5;

// A grid whose cells give texts through the hook, as the library's grids do, and leave margins
// beside them; it records what it draws.
class TTextGrid : public TCustomGrid {
public:
    TTextGrid()
    {
        resize(400, 300);
        SetScrollBars(TScrollStyle::ssNone);
    }
    // The text of each cell: "c,r" unless set.
    std::function<QString(int ACol, int ARow)> Text = [](int ACol, int ARow) {
        return QStringLiteral("%1,%2").arg(ACol).arg(ARow);
    };
    QMap<QPair<int, int>, TGridDrawState> Drawn;
    int DblClicks = 0;

    void DblClick() override
    {
        ++DblClicks;
        TCustomGrid::DblClick();
    }

protected:
    void DrawCell(int ACol, int ARow, const QRect&, TGridDrawState State) override { Drawn[{ACol, ARow}] = State; }
    void virtual_hook(int Id, void* Data) override
    {
        if (Id == CellTextHook) {
            auto& Query = *static_cast<TCellTextQuery*>(Data);
            Query.Text = Text(Query.ACol, Query.ARow);
            return;
        }
        if (Id == TextMarginsHook) {
            auto& Query = *static_cast<TTextMarginsQuery*>(Data);
            Query.Left = LeftMargin;
            Query.Right = RightMargin;
            return;
        }
        TCustomGrid::virtual_hook(Id, Data);
    }
};

class ShownTextGrid : public ::testing::Test {
protected:
    void SetUp() override
    {
        QFont Font = Grid.font();
        Font.setPixelSize(11);
        Grid.setFont(Font);
        Grid.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&Grid));
        Grid.activateWindow();
        Grid.setFocus();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&Grid));
    }
    void Key(QKeySequence::StandardKey Which)
    {
        const QKeySequence Sequence(Which);
        ASSERT_FALSE(Sequence.isEmpty());
        const QKeyCombination Combination = Sequence[0];
        QTest::keyClick(static_cast<QWidget*>(&Grid), Combination.key(), Combination.keyboardModifiers());
    }
    static QString ClipboardText() { return QGuiApplication::clipboard()->text(); }
    static QString ClipboardHtml()
    {
        const QMimeData* Data = QGuiApplication::clipboard()->mimeData();
        return Data ? Data->html() : QString();
    }
    static bool Equal(const TGridRect& A, const TGridRect& B)
    {
        return A.Left == B.Left && A.Top == B.Top && A.Right == B.Right && A.Bottom == B.Bottom;
    }

    TTextGrid Grid;
};

std::string Describe(const TGridRect& R)
{
    return QStringLiteral("(%1,%2)-(%3,%4)").arg(R.Left).arg(R.Top).arg(R.Right).arg(R.Bottom).toStdString();
}

// Select-all ---------------------------------------------------------------------------------------

using GridSelectAll = ShownTextGrid;

TEST_F(GridSelectAll, CtrlASelectsEveryScrollingCellWithoutMovingTheCurrentCellOrTheViewAndPaintsThem)
{
    Grid.SetColCount(30);
    Grid.SetRowCount(1000);
    Grid.FocusCell(3, 40);
    Grid.SetTopRow(38);
    Grid.SetLeftCol(2);
    QList<int> Moves;
    QObject::connect(&Grid, &TCustomGrid::currentCellChanged, [&](int ACol, int) { Moves << ACol; });
    Key(QKeySequence::SelectAll);
    EXPECT_TRUE(Equal(Grid.Selection(), {1, 1, 29, 999})) << Describe(Grid.Selection());
    EXPECT_EQ(Grid.Col(), 3);
    EXPECT_EQ(Grid.Row(), 40);
    EXPECT_EQ(Grid.TopRow(), 38);
    EXPECT_EQ(Grid.LeftCol(), 2);
    EXPECT_TRUE(Moves.isEmpty());
    Grid.Drawn.clear();
    Grid.viewport()->grab();
    // Every visible scrolling cell but the focused current one is highlighted; the fixed ones are not.
    ASSERT_FALSE(Grid.Drawn.isEmpty());
    for (auto Cell = Grid.Drawn.cbegin(); Cell != Grid.Drawn.cend(); ++Cell) {
        const auto [ACol, ARow] = Cell.key();
        const bool Scrolling = ACol >= 1 && ARow >= 1;
        const bool Current = ACol == 3 && ARow == 40;
        EXPECT_EQ(bool(Cell.value() & gdSelected), Scrolling && !Current) << ACol << "," << ARow;
    }
}

TEST_F(GridSelectAll, WithoutRangeSelectCtrlASelectsNothingMore)
{
    Grid.SetOptions(Grid.Options() & ~TGridOptions(goRangeSelect));
    Grid.FocusCell(2, 3);
    Key(QKeySequence::SelectAll);
    EXPECT_TRUE(Equal(Grid.Selection(), {2, 3, 2, 3})) << Describe(Grid.Selection());
    Grid.SelectAll();
    EXPECT_TRUE(Equal(Grid.Selection(), {2, 3, 2, 3})) << Describe(Grid.Selection());
}

TEST_F(GridSelectAll, WithRowSelectAllTheRowsAreSelected)
{
    Grid.SetOptions(Grid.Options() | goRowSelect);
    Grid.SetRowCount(50);
    Grid.FocusCell(2, 3);
    Grid.SelectAll();
    EXPECT_TRUE(Equal(Grid.Selection(), {1, 1, 4, 49})) << Describe(Grid.Selection());
}

struct TEnding {
    const char* Name;
    std::function<void(ShownTextGrid& Test, TTextGrid& Grid)> Act;
    TGridRect After;
};

void PrintTo(const TEnding& Ending, std::ostream* Out)
{
    *Out << Ending.Name;
}

class SelectAllEnds : public ShownTextGrid, public ::testing::WithParamInterface<TEnding> {
public:
    void Press(QKeySequence::StandardKey Which) { Key(Which); }
};

// The grid has 10 columns and 20 rows, the anchor at (2, 2) and the current cell at (3, 4) when
// everything is selected.
TEST_P(SelectAllEnds, AndTheSelectionIsAgainFromTheAnchorToTheCurrentCell)
{
    Grid.SetColCount(10);
    Grid.SetRowCount(20);
    Grid.FocusCell(2, 2);
    Grid.FocusCell(3, 4, false);
    Grid.SelectAll();
    ASSERT_TRUE(Equal(Grid.Selection(), {1, 1, 9, 19})) << Describe(Grid.Selection());
    GetParam().Act(*this, Grid);
    EXPECT_TRUE(Equal(Grid.Selection(), GetParam().After)) << Describe(Grid.Selection());
}

INSTANTIATE_TEST_SUITE_P(
    Grid, SelectAllEnds,
    ::testing::Values(
        TEnding{"AnArrowKey", [](ShownTextGrid&, TTextGrid& G) { QTest::keyClick(&G, Qt::Key_Down); }, {3, 5, 3, 5}},
        TEnding{"AShiftArrowKey",
                [](ShownTextGrid&, TTextGrid& G) { QTest::keyClick(&G, Qt::Key_Right, Qt::ShiftModifier); },
                {2, 2, 4, 4}},
        TEnding{"AClickOnTheCurrentCell",
                [](ShownTextGrid&, TTextGrid& G) {
                    QTest::mouseClick(G.viewport(), Qt::LeftButton, Qt::NoModifier, G.CellRect(3, 4).center());
                },
                {3, 4, 3, 4}},
        TEnding{"MoreRows", [](ShownTextGrid&, TTextGrid& G) { G.SetRowCount(30); }, {2, 2, 3, 4}},
        TEnding{"FewerColumns", [](ShownTextGrid&, TTextGrid& G) { G.SetColCount(8); }, {2, 2, 3, 4}},
        TEnding{"RangeSelectSwitchedOffAndOn",
                [](ShownTextGrid&, TTextGrid& G) {
                    G.SetOptions(G.Options() & ~TGridOptions(goRangeSelect));
                    G.SetOptions(G.Options() | goRangeSelect);
                },
                {3, 4, 3, 4}}),
    [](const ::testing::TestParamInfo<TEnding>& Info) { return std::string(Info.param.Name); });

// The clipboard ------------------------------------------------------------------------------------

using GridCopy = ShownTextGrid;

TEST_F(GridCopy, CtrlCCopiesTheRangeAsTabSeparatedLinesAndAsAnHtmlTable)
{
    Grid.FocusCell(3, 2);
    Grid.FocusCell(1, 3, false);
    Key(QKeySequence::Copy);
    EXPECT_EQ(ClipboardText(), "1,2\t2,2\t3,2\n1,3\t2,3\t3,3");
    EXPECT_EQ(ClipboardHtml(), "<table><tr><td>1,2</td><td>2,2</td><td>3,2</td></tr>"
                               "<tr><td>1,3</td><td>2,3</td><td>3,3</td></tr></table>");
}

TEST_F(GridCopy, WithRowSelectTheWholeRowsAreCopiedWithoutTheFixedColumn)
{
    Grid.SetOptions(Grid.Options() | goRowSelect);
    Grid.FocusCell(2, 4);
    EXPECT_TRUE(Grid.CopyToClipboard());
    EXPECT_EQ(ClipboardText(), "1,4\t2,4\t3,4\t4,4");
}

TEST_F(GridCopy, TabsAndLineBreaksInATextBecomeBlanksInTheTextAndMarkupIsEscapedInTheHtml)
{
    Grid.Text = [](int, int) { return QStringLiteral("a\tb\nc <d> & \"e\""); };
    Grid.FocusCell(1, 1);
    ASSERT_TRUE(Grid.CopyToClipboard());
    EXPECT_EQ(ClipboardText(), "a b c <d> & \"e\"");
    EXPECT_EQ(ClipboardHtml(), "<table><tr><td>a\tb\nc &lt;d&gt; &amp; &quot;e&quot;</td></tr></table>");
}

struct TCopySize {
    const char* Name;
    int ScrollingCols;
    qint64 ScrollingRows;
    bool Copied;
};

void PrintTo(const TCopySize& Size, std::ostream* Out)
{
    *Out << Size.Name;
}

class GridCopyLimit : public ShownTextGrid, public ::testing::WithParamInterface<TCopySize> {};

// Above MaxCopiedCells the clipboard keeps what it held; at it, the cells are copied.
TEST_P(GridCopyLimit, CtrlAThenCtrlCCopiesUpToTheLimitAndLeavesTheClipboardAloneAboveIt)
{
    const TCopySize& Size = GetParam();
    Grid.Text = [](int, int) { return QStringLiteral("x"); };
    Grid.SetColCount(Size.ScrollingCols + 1);
    Grid.SetRowCount(Size.ScrollingRows + 1);
    QGuiApplication::clipboard()->setText(QStringLiteral("kept"));
    Key(QKeySequence::SelectAll);
    Key(QKeySequence::Copy);
    if (Size.Copied) {
        const QString Text = ClipboardText();
        EXPECT_EQ(Text.count(u'\n'), Size.ScrollingRows - 1);
        EXPECT_EQ(Text.count(u'x'), qint64(Size.ScrollingCols) * Size.ScrollingRows);
    } else {
        EXPECT_EQ(ClipboardText(), "kept");
        EXPECT_EQ(ClipboardHtml(), "");
    }
}

INSTANTIATE_TEST_SUITE_P(Grid, GridCopyLimit,
                         ::testing::Values(TCopySize{"AtTheLimit", 1000, TCustomGrid::MaxCopiedCells / 1000, true},
                                           TCopySize{"OneRowAbove", 1000, TCustomGrid::MaxCopiedCells / 1000 + 1, false},
                                           TCopySize{"EveryRow", 4, TCustomGrid::MaxRowCount - 1, false}),
                         [](const ::testing::TestParamInfo<TCopySize>& Info) { return std::string(Info.param.Name); });

// Fitting a column ---------------------------------------------------------------------------------

using GridColumnFit = ShownTextGrid;

TEST_F(GridColumnFit, ADoubleClickOnABorderFitsTheColumnToItsWidestVisibleTextAndItsMarginsWithoutADblClick)
{
    Grid.SetOptions(Grid.Options() | goColSizing);
    Grid.SetRowCount(1000);
    // The widest text of column 2 is far below, out of view, and does not count.
    Grid.Text = [](int ACol, int ARow) {
        if (ACol != 2)
            return QStringLiteral("x");
        if (ARow == 900)
            return QString(200, u'W');
        return ARow == 0 ? QStringLiteral("Title") : ARow == 3 ? QStringLiteral("a much longer text") : QString();
    };
    const int Expected = QFontMetrics(Grid.font()).horizontalAdvance("a much longer text") + LeftMargin + RightMargin;
    ASSERT_NE(Grid.ColWidths(2), Expected);
    const QRect Title = Grid.CellRect(2, 0);
    QTest::mouseDClick(Grid.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(Title.right() + 1, Title.center().y()));
    EXPECT_EQ(Grid.ColWidths(2), Expected);
    EXPECT_EQ(Grid.DblClicks, 0);
    // Elsewhere a double-click is one.
    QTest::mouseDClick(Grid.viewport(), Qt::LeftButton, Qt::NoModifier, Grid.CellRect(1, 1).center());
    EXPECT_EQ(Grid.DblClicks, 1);
    EXPECT_EQ(Grid.ColWidths(2), Expected);
}

TEST_F(GridColumnFit, WithoutColumnSizingOrWithoutTextsTheWidthStays)
{
    const QRect Title = Grid.CellRect(2, 0);
    const QPoint Border(Title.right() + 1, Title.center().y());
    QTest::mouseDClick(Grid.viewport(), Qt::LeftButton, Qt::NoModifier, Border);
    EXPECT_EQ(Grid.ColWidths(2), 64);
    EXPECT_EQ(Grid.DblClicks, 1) << "without goColSizing a border is no border";
    Grid.SetOptions(Grid.Options() | goColSizing);
    Grid.Text = [](int, int) { return QString(); };
    QTest::mouseDClick(Grid.viewport(), Qt::LeftButton, Qt::NoModifier, Border);
    EXPECT_EQ(Grid.ColWidths(2), 64);
    EXPECT_EQ(Grid.DblClicks, 1);
}

// Tooltips -----------------------------------------------------------------------------------------

class GridHints : public ShownTextGrid {
protected:
    // Asks for the tooltip of a cell as the pointer resting on it does; the tooltip's text after.
    QString HintAt(int ACol, int ARow)
    {
        QToolTip::hideText();
        for (int I = 0; I < 100 && QToolTip::isVisible(); ++I)
            QTest::qWait(20);
        EXPECT_FALSE(QToolTip::isVisible());
        const QPoint At = Grid.CellRect(ACol, ARow).center();
        QHelpEvent Event(QEvent::ToolTip, At, Grid.viewport()->mapToGlobal(At));
        QApplication::sendEvent(Grid.viewport(), &Event);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    }
};

TEST_F(GridHints, WithShowHintACellWhoseTextDoesNotFitShowsItWholeAndOneThatFitsShowsNone)
{
    const QFontMetrics Metrics(Grid.font());
    const int Room = Grid.ColWidths(1) - LeftMargin - RightMargin;
    QString Fits = QStringLiteral("i");
    while (Metrics.horizontalAdvance(Fits + u'i') <= Room)
        Fits += u'i';
    const QString TooWide = Fits + u'i';
    Grid.Text = [&](int ACol, int) { return ACol == 1 ? Fits : ACol == 2 ? TooWide : QStringLiteral("<b>bold</b> and more text"); };
    EXPECT_EQ(HintAt(2, 1), "") << "ShowHint is off by default";
    Grid.SetShowHint(true);
    EXPECT_EQ(HintAt(1, 1), "");
    EXPECT_EQ(HintAt(2, 1), TooWide);
    // A text that looks like markup is shown as it is, not as markup.
    EXPECT_EQ(HintAt(3, 1), "<qt>&lt;b&gt;bold&lt;/b&gt; and more text</qt>");
    Grid.SetShowHint(false);
    EXPECT_EQ(HintAt(2, 1), "");
}

TEST_F(GridHints, TheTextElideModeIsAPropertyThatDefaultsToNone)
{
    EXPECT_EQ(Grid.TextElideMode(), Qt::ElideNone);
    EXPECT_TRUE(Grid.setProperty("textElideMode", QVariant::fromValue(Qt::ElideMiddle)));
    EXPECT_EQ(Grid.TextElideMode(), Qt::ElideMiddle);
    EXPECT_FALSE(Grid.property("ShowHint").toBool());
    EXPECT_TRUE(Grid.setProperty("ShowHint", true));
    EXPECT_TRUE(Grid.ShowHint());
}

} // namespace
