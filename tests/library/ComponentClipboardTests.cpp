// The library's grids as an item view is used: copied, selected whole, columns fitted to their
// texts, elided texts and the tooltips of cut texts.
#include "GalleryForm.h"
#include "TestSupport.h"
#include "components/ZQBitGrid.h"
#include "components/ZQDataGrid.h"
#include "framework/GridTestHooks.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QMimeData>
#include <QTest>
#include <QToolTip>

#include <map>
#include <memory>

namespace {

constexpr int FontPixels = 11;

// Records whose texts say where they are: "n<record>" and "v<record>.<index>".
class TNamedRecords : public TZQGridData {
public:
    explicit TNamedRecords(int Count) : FCount(Count) {}
    int GetRecordCount() const override { return FCount; }
    QString GetDataText(int Record, int DataIndex) const override
    {
        if (auto Long = LongTexts.find({Record, DataIndex}); Long != LongTexts.end())
            return Long->second;
        return DataIndex == 0 ? QStringLiteral("n%1").arg(Record) : QStringLiteral("v%1.%2").arg(Record).arg(DataIndex);
    }
    std::map<std::pair<int, int>, QString> LongTexts;

private:
    int FCount;
};

template <class TGrid>
void Prepare(TGrid& Grid)
{
    QFont Font = Grid.font();
    Font.setPixelSize(FontPixels);
    Grid.setFont(Font);
    Grid.SetScrollBars(TScrollStyle::ssNone);
    Grid.SetClientSize(400, 240);
    Grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Grid));
    Grid.activateWindow();
    Grid.setFocus();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Grid));
}

void Press(QWidget& Grid, QKeySequence::StandardKey Which)
{
    const QKeyCombination Combination = QKeySequence(Which)[0];
    QTest::keyClick(&Grid, Combination.key(), Combination.keyboardModifiers());
}

QString ClipboardHtml()
{
    const QMimeData* Data = QGuiApplication::clipboard()->mimeData();
    return Data ? Data->html() : QString();
}

// What a grid wrote into each cell at its last paint.
class TWritten {
public:
    explicit TWritten(TCustomGrid& Grid) : FGrid(Grid)
    {
        TGridTestHooks::OnText(Grid.CellCanvas()) = [this](const QRect& Rect, int X, int, const QString& Text) {
            FTexts[{Rect.x(), Rect.y()}] = {Text, X - Rect.x()};
        };
    }
    ~TWritten() { TGridTestHooks::OnText(FGrid.CellCanvas()) = nullptr; }
    struct TText {
        QString Text;
        int DX = 0;
    };
    TText At(int ACol, int ARow)
    {
        FTexts.clear();
        FGrid.viewport()->grab();
        const QRect Cell = FGrid.CellRect(ACol, ARow);
        const auto Found = FTexts.find({Cell.x(), Cell.y()});
        return Found == FTexts.end() ? TText{} : Found->second;
    }

private:
    TCustomGrid& FGrid;
    std::map<std::pair<int, int>, TText> FTexts;
};

class DataGridHabits : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int I = 0; I < 3; ++I) {
            TZQDataGridColumn* Column = Grid.Columns()->Add();
            Column->SetTitle(QStringLiteral("Title %1").arg(I));
            Column->SetDataIndex(I);
        }
        Grid.SetData(&Source);
        Prepare(Grid);
    }
    TNamedRecords Source{40};
    TZQDataGrid Grid;
};

class BitGridHabits : public ::testing::Test {
protected:
    void SetUp() override
    {
        Grid.SetDataCols(4);
        Grid.SetDataRows(3);
        Grid.SetDataBit(0, 3, true);
        Grid.SetDataBit(1, 1, true);
        Grid.SetDataBit(2, 0, true);
        Prepare(Grid);
    }
    ZQ::TZQBitGrid Grid;
};

// The clipboard ------------------------------------------------------------------------------------

TEST_F(DataGridHabits, CtrlCCopiesTheSelectedRecordsDataWithoutTitlesAsTextAndHtml)
{
    Grid.FocusCell(1, 3);
    Grid.FocusCell(2, 4, false);
    Press(Grid, QKeySequence::Copy);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "v2.1\tv2.2\nv3.1\tv3.2");
    EXPECT_EQ(ClipboardHtml(), "<table><tr><td>v2.1</td><td>v2.2</td></tr><tr><td>v3.1</td><td>v3.2</td></tr></table>");
}

TEST_F(DataGridHabits, CtrlAThenCtrlCCopiesEveryRecordAndNoTitle)
{
    Grid.FocusCell(1, 5);
    Press(Grid, QKeySequence::SelectAll);
    Press(Grid, QKeySequence::Copy);
    const QStringList Lines = QGuiApplication::clipboard()->text().split(u'\n');
    ASSERT_EQ(Lines.size(), 40);
    EXPECT_EQ(Lines.first(), "v0.1\tv0.2");
    EXPECT_EQ(Lines.last(), "v39.1\tv39.2");
    EXPECT_FALSE(QGuiApplication::clipboard()->text().contains("Title"));
    EXPECT_EQ(Grid.Col(), 1);
    EXPECT_EQ(Grid.Row(), 5);
}

TEST_F(DataGridHabits, ACopyOfTwoToThe31RecordsIsRefusedAndTheClipboardKeepsWhatItHeld)
{
    TNamedRecords Huge(INT_MAX);
    Grid.SetData(&Huge);
    QGuiApplication::clipboard()->setText(QStringLiteral("kept"));
    Press(Grid, QKeySequence::SelectAll);
    EXPECT_EQ(Grid.Selection().Bottom, INT_MAX);
    Press(Grid, QKeySequence::Copy);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "kept");
    Grid.SetData(&Source);
}

TEST_F(BitGridHabits, CtrlCCopiesTheSelectedBitsWithoutAddressesOrBitNumbers)
{
    Grid.FocusCell(1, 1);
    Grid.FocusCell(4, 2, false);
    Press(Grid, QKeySequence::Copy);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "1\t0\t0\t0\n0\t0\t1\t0");
    EXPECT_EQ(ClipboardHtml(), "<table><tr><td>1</td><td>0</td><td>0</td><td>0</td></tr>"
                               "<tr><td>0</td><td>0</td><td>1</td><td>0</td></tr></table>");
    Press(Grid, QKeySequence::SelectAll);
    Press(Grid, QKeySequence::Copy);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "1\t0\t0\t0\n0\t0\t1\t0\n0\t0\t0\t1");
}

// Fitting a column ---------------------------------------------------------------------------------

TEST_F(DataGridHabits, ABorderDoubleClickFitsTheColumnToItsWidestVisibleTextOrTitleWithTheMargins)
{
    Grid.SetOptions(Grid.Options() | goColSizing);
    Source.LongTexts[{2, 1}] = QStringLiteral("a record's much longer text");
    Source.LongTexts[{39, 1}] = QString(300, u'W'); // out of view
    int DblClicks = 0;
    struct TCounter {
        int* Count;
        void DblClick(QObject*) { ++*Count; }
    } Counter{&DblClicks};
    Grid.SetOnDblClick(TNotifyEvent(&Counter, &TCounter::DblClick));
    const QFontMetrics Metrics(Grid.font());
    const QRect Title = Grid.CellRect(1, 0);
    QTest::mouseDClick(Grid.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(Title.right() + 1, Title.center().y()));
    EXPECT_EQ(Grid.ColWidths(1), Metrics.horizontalAdvance("a record's much longer text") + 4);
    // Column 2's title is its widest visible text.
    Grid.Columns()->GetItem(2)->SetTitle(QStringLiteral("A title wider than any datum"));
    const QRect Title2 = Grid.CellRect(2, 0);
    QTest::mouseDClick(Grid.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(Title2.right() + 1, Title2.center().y()));
    EXPECT_EQ(Grid.ColWidths(2), Metrics.horizontalAdvance("A title wider than any datum") + 4);
    EXPECT_EQ(DblClicks, 0);
}

TEST_F(BitGridHabits, ABorderDoubleClickFitsTheColumnAndInvertsNoBit)
{
    Grid.SetOptions(Grid.Options() | goColSizing);
    QStringList Log;
    struct TCounter {
        QStringList* Log;
        void DblClick(QObject*) { *Log << "dblclick"; }
        void Changed(QObject*, int ACol, int ARow) { *Log << QStringLiteral("changed %1 %2").arg(ACol).arg(ARow); }
    } Counter{&Log};
    Grid.SetOnDblClick(TNotifyEvent(&Counter, &TCounter::DblClick));
    Grid.SetOnCellDataChanged(ZQ::TCellDataChangedEvent(&Counter, &TCounter::Changed));
    const QRect Title = Grid.CellRect(2, 0);
    const QPoint Border(Title.right() + 1, Title.center().y());
    QCursor::setPos(Grid.viewport()->mapToGlobal(Border));
    QTest::mouseDClick(Grid.viewport(), Qt::LeftButton, Qt::NoModifier, Border);
    // A bit's text and its 4-pixel margins either side.
    EXPECT_EQ(Grid.ColWidths(2), QFontMetrics(Grid.font()).horizontalAdvance("0") + 8);
    EXPECT_EQ(Log, QStringList());
    EXPECT_TRUE(Grid.GetDataBit(0, 3));
    EXPECT_FALSE(Grid.GetDataBit(0, 2));
    // The address column, fitted to its eight digits.
    const QRect Address = Grid.CellRect(0, 0);
    QTest::mouseDClick(Grid.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(Address.right() + 1, Address.center().y()));
    EXPECT_EQ(Grid.ColWidths(0), QFontMetrics(Grid.font()).horizontalAdvance("00000002") + 8);
}

// Elided texts -------------------------------------------------------------------------------------

struct TElideCase {
    const char* Name;
    Qt::TextElideMode Mode;
    TAlignment Alignment;
};

void PrintTo(const TElideCase& Case, std::ostream* Out)
{
    *Out << Case.Name;
}

class DataGridElided : public DataGridHabits, public ::testing::WithParamInterface<TElideCase> {};

// The room of a 60-pixel column is 56 pixels; the elided text is placed as any text of that width.
TEST_P(DataGridElided, ATextWiderThanItsRoomIsElidedToItAndPlacedByItsNewWidth)
{
    const TElideCase& Case = GetParam();
    const QString Long = QStringLiteral("a datum far too wide for its column");
    Source.LongTexts[{1, 1}] = Long;
    TZQDataGridColumn* Column = Grid.Columns()->GetItem(1);
    Column->SetWidth(60);
    Column->SetDataAlignment(Case.Alignment);
    Grid.SetTextElideMode(Case.Mode);
    TWritten Written(Grid);
    const QFontMetrics Metrics(Grid.font());
    const QString Expected = Metrics.elidedText(Long, Case.Mode, 56);
    ASSERT_NE(Expected, Long);
    const TWritten::TText Text = Written.At(1, 2);
    EXPECT_EQ(Text.Text, Expected);
    EXPECT_TRUE(Text.Text.contains(QChar(0x2026)));
    const int Width = Metrics.horizontalAdvance(Expected);
    const int DX = Case.Alignment == taLeftJustify ? 2 : Case.Alignment == taRightJustify ? 60 - Width - 2 : (60 - Width) / 2;
    EXPECT_EQ(Text.DX, DX);
    // A text that fits is left as it is.
    EXPECT_EQ(Written.At(1, 3).Text, "v2.1");
}

INSTANTIATE_TEST_SUITE_P(Grid, DataGridElided,
                         ::testing::Values(TElideCase{"RightLeftAligned", Qt::ElideRight, taLeftJustify},
                                           TElideCase{"RightRightAligned", Qt::ElideRight, taRightJustify},
                                           TElideCase{"LeftCentred", Qt::ElideLeft, taCenter},
                                           TElideCase{"MiddleLeftAligned", Qt::ElideMiddle, taLeftJustify}),
                         [](const ::testing::TestParamInfo<TElideCase>& Info) { return std::string(Info.param.Name); });

TEST_F(DataGridHabits, WithoutElidingATooWideTextIsWrittenWholeFromWhereItsFullWidthPlacesIt)
{
    const QString Long = QStringLiteral("a datum far too wide for its column");
    Source.LongTexts[{1, 1}] = Long;
    Grid.Columns()->GetItem(1)->SetWidth(60);
    Grid.Columns()->GetItem(1)->SetDataAlignment(taCenter);
    TWritten Written(Grid);
    const TWritten::TText Text = Written.At(1, 2);
    EXPECT_EQ(Text.Text, Long);
    EXPECT_EQ(Text.DX, (60 - QFontMetrics(Grid.font()).horizontalAdvance(Long)) / 2);
}

TEST_F(BitGridHabits, ElidingShortensAnAddressInANarrowColumnAndKeepsItRightAligned)
{
    Grid.SetColWidths(0, 40);
    Grid.SetTextElideMode(Qt::ElideRight);
    TWritten Written(Grid);
    const QFontMetrics Metrics(Grid.font());
    const QString Expected = Metrics.elidedText("00000001", Qt::ElideRight, 32);
    ASSERT_NE(Expected, "00000001");
    const TWritten::TText Text = Written.At(0, 2);
    EXPECT_EQ(Text.Text, Expected);
    EXPECT_EQ(Text.DX, 40 - Metrics.horizontalAdvance(Expected) - 4);
    EXPECT_EQ(Written.At(1, 2).Text, "0") << "a bit fits its cell";
}

// Tooltips -----------------------------------------------------------------------------------------

QString HintAt(TCustomGrid& Grid, int ACol, int ARow)
{
    QToolTip::hideText();
    for (int I = 0; I < 100 && QToolTip::isVisible(); ++I)
        QTest::qWait(20);
    const QPoint At = Grid.CellRect(ACol, ARow).center();
    QHelpEvent Event(QEvent::ToolTip, At, Grid.viewport()->mapToGlobal(At));
    QApplication::sendEvent(Grid.viewport(), &Event);
    return QToolTip::isVisible() ? QToolTip::text() : QString();
}

TEST_F(DataGridHabits, WithShowHintACutDatumOrTitleShowsWholeInATooltip)
{
    Source.LongTexts[{1, 1}] = QStringLiteral("a datum far too wide for its column");
    Grid.Columns()->GetItem(1)->SetWidth(60);
    Grid.Columns()->GetItem(1)->SetTitle(QStringLiteral("A title too wide as well"));
    Grid.SetTextElideMode(Qt::ElideRight);
    Grid.SetShowHint(true);
    EXPECT_EQ(HintAt(Grid, 1, 2), "a datum far too wide for its column");
    EXPECT_EQ(HintAt(Grid, 1, 0), "A title too wide as well");
    EXPECT_EQ(HintAt(Grid, 1, 3), "");
    EXPECT_EQ(HintAt(Grid, 0, 2), "");
}

// The gallery shows its data grids as a Qt developer expects: a cut datum ends in "…" and shows
// whole in its tooltip.
TEST(GalleryDataGrids, ElideTheirTextsAndShowCutTextsInTooltips)
{
    TGalleryForm Form;
    Form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form));
    const QList<TZQDataGrid*> Grids = Form.findChildren<TZQDataGrid*>();
    ASSERT_EQ(Grids.size(), 2);
    for (TZQDataGrid* Grid : Grids) {
        SCOPED_TRACE(Grid->objectName().toStdString());
        EXPECT_EQ(Grid->TextElideMode(), Qt::ElideRight);
        ASSERT_GE(Grid->RowCount(), 2);
        // The names' column: the fixed one in one grid, a scrolling one in the other.
        int Col = 0;
        while (Col < Grid->Columns()->Count() && Grid->Columns()->GetItem(Col)->DataIndex() != 1)
            ++Col;
        ASSERT_LT(Col, Grid->Columns()->Count());
        const QString Whole = Grid->CellDisplayText(Col, 1);
        ASSERT_GE(Whole.size(), 3);
        // Half as wide as the datum, and its 2-pixel margins.
        const QFontMetrics Metrics(Grid->font());
        const int Room = Metrics.horizontalAdvance(Whole) / 2;
        Grid->SetColWidths(Col, Room + 4);
        const QString Elided = Metrics.elidedText(Whole, Qt::ElideRight, Room);
        ASSERT_NE(Elided, Whole);
        TWritten Written(*Grid);
        EXPECT_EQ(Written.At(Col, 1).Text, Elided);
        EXPECT_EQ(HintAt(*Grid, Col, 1), Whole);
    }
}

} // namespace
