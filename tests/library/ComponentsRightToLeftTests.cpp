// The library's grids right to left: the bit grid shows bit 0 at the left and its texts at the
// cells' left, the data grid mirrors its columns' alignment.
#include "TestSupport.h"
#include "components/ZQBitGrid.h"
#include "components/ZQDataGrid.h"
#include "framework/GridTestHooks.h"

#include <gtest/gtest.h>

#include <QTest>

#include <map>

using ZQ::TZQBitGrid;

namespace {

// Where each text was written, by the cell it was written in.
struct TWritten {
    int X = 0;
    QString Text;
};
using TWrites = std::map<std::pair<int, int>, TWritten>;

TWrites Paint(TCustomGrid& Grid, QImage& Picture)
{
    TWrites Writes;
    TGridTestHooks::OnText(Grid.CellCanvas()) = [&](const QRect& Rect, int X, int, const QString& Text) {
        const TGridCoord Cell = Grid.MouseCoord(Rect.center().x(), Rect.center().y());
        Writes[{Cell.X, Cell.Y}] = {X, Text};
    };
    Picture = Grid.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    TGridTestHooks::OnText(Grid.CellCanvas()) = nullptr;
    return Writes;
}

QImage Cell(const QImage& Picture, const TCustomGrid& Grid, int ACol, int ARow)
{
    return Picture.copy(Grid.CellRect(ACol, ARow));
}

// The picture of a cell whose content is moved by DX over its own background, taken from its
// first column of pixels.
QImage Shifted(const QImage& Cell, int DX)
{
    QImage Moved(Cell.size(), Cell.format());
    Moved.fill(Cell.pixel(DX > 0 ? 0 : Cell.width() - 1, 0));
    for (int Y = 0; Y < Cell.height(); ++Y)
        for (int X = 0; X < Cell.width(); ++X)
            if (X - DX >= 0 && X - DX < Cell.width())
                Moved.setPixel(X, Y, Cell.pixel(X - DX, Y));
    return Moved;
}

// Where two pictures differ, for the failure's message: empty when they are alike.
std::string Difference(const QImage& Actual, const QImage& Expected)
{
    if (Actual.size() != Expected.size())
        return "sizes differ";
    int Count = 0;
    QPoint First(-1, -1);
    for (int Y = 0; Y < Actual.height(); ++Y)
        for (int X = 0; X < Actual.width(); ++X)
            if (Actual.pixel(X, Y) != Expected.pixel(X, Y) && Count++ == 0)
                First = QPoint(X, Y);
    if (Count == 0)
        return std::string();
    return QStringLiteral("%1 pixels differ, the first at (%2, %3): %4 instead of %5")
        .arg(Count).arg(First.x()).arg(First.y())
        .arg(QColor(Actual.pixel(First)).name(), QColor(Expected.pixel(First)).name())
        .toStdString();
}

class TSmallSource : public TZQGridData {
public:
    int GetRecordCount() const override { return 4; }
    QString GetDataText(int Record, int DataIndex) const override
    {
        return QStringLiteral("r%1 d%2").arg(Record).arg(DataIndex);
    }
};

} // namespace

// Bit 0 at the left, the addresses at the right, and each text 4 pixels from its cell's left edge
// instead of its right one, written as left to right writes it.
TEST(BitGridRightToLeft, BitZeroIsAtTheLeftAndTextsAtTheCellsLeft)
{
    constexpr int Margin = 4;
    TZQBitGrid Grids[2];
    QImage Pictures[2];
    TWrites Writes[2];
    for (const bool RightToLeft : {false, true}) {
        TZQBitGrid& Grid = Grids[RightToLeft];
        Grid.setLayoutDirection(RightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
        Grid.SetDataRows(3);
        Grid.SetDataWords(1, 0x35);
        Grid.SetScrollBars(TScrollStyle::ssNone);
        // The addresses fit with their margins.
        Grid.SetColWidths(0, 100);
        Grid.SetClientSize(Grid.ColWidths(0) + 1 + 8 * (Grid.DefaultColWidth() + 1) + 20, 120);
        // Neither grid takes the focus, which would frame its current cell in one only.
        Grid.setFocusPolicy(Qt::NoFocus);
        Grid.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&Grid));
        Writes[RightToLeft] = Paint(Grid, Pictures[RightToLeft]);
    }
    TZQBitGrid& Grid = Grids[1];
    const int Width = Grid.ClientSize().width();
    // Reading the title row from the left: bits 0 to 7, then the corner.
    QStringList Titles;
    for (int X = 1; X < Width; X += Grid.DefaultColWidth() + 1) {
        const TGridCoord At = Grid.MouseCoord(X, 2);
        if (At.X >= Grid.FixedCols() && (Titles.isEmpty() || Titles.last() != Grid.CellDisplayText(At.X, 0)))
            Titles << Grid.CellDisplayText(At.X, 0);
    }
    EXPECT_EQ(Titles, (QStringList{"0", "1", "2", "3", "4", "5", "6", "7"}));
    EXPECT_EQ(Grid.MouseCoord(Width - 2, 30), (TGridCoord{0, 1}));
    for (int Col = 0; Col < Grid.ColCount(); ++Col)
        for (int Row = 0; Row < Grid.RowCount(); ++Row) {
            SCOPED_TRACE(QStringLiteral("cell %1, %2").arg(Col).arg(Row).toStdString());
            const QRect Right = Grid.CellRect(Col, Row);
            const QRect Left = Grids[0].CellRect(Col, Row);
            const TWritten Mirrored = Writes[1][{Col, Row}];
            const TWritten Plain = Writes[0][{Col, Row}];
            EXPECT_EQ(Mirrored.Text, Plain.Text);
            if (Mirrored.Text.isEmpty())
                continue;
            EXPECT_EQ(Mirrored.X, Right.x() + Margin);
            const int DX = (Mirrored.X - Right.x()) - (Plain.X - Left.x());
            EXPECT_LT(DX, 0);
            EXPECT_EQ(Difference(Cell(Pictures[1], Grid, Col, Row), Shifted(Cell(Pictures[0], Grids[0], Col, Row), DX)), "");
        }
}

// Right to left a left-justified column is drawn as a right-justified one left to right and the
// other way round, titles and data, in the mirrored cells; bdRightToLeftNoAlign keeps each
// alignment, and a centred text stays centred.
TEST(DataGridRightToLeft, TheAlignmentIsMirroredUnlessNoAlign)
{
    struct TCase {
        TBiDiMode Mode;
        TAlignment Alignment;
        TAlignment LeftToRight; // the alignment whose left-to-right cells look the same
    };
    const TCase Cases[] = {
        {TCustomGrid::bdRightToLeft, taLeftJustify, taRightJustify},
        {TCustomGrid::bdRightToLeft, taRightJustify, taLeftJustify},
        {TCustomGrid::bdRightToLeft, taCenter, taCenter},
        {TCustomGrid::bdRightToLeftNoAlign, taLeftJustify, taLeftJustify},
        {TCustomGrid::bdRightToLeftNoAlign, taRightJustify, taRightJustify},
    };
    TSmallSource Source;
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(QStringLiteral("mode %1, alignment %2").arg(int(Case.Mode)).arg(int(Case.Alignment)).toStdString());
        TZQDataGrid Grids[2];
        QImage Pictures[2];
        for (const bool RightToLeft : {false, true}) {
            TZQDataGrid& Grid = Grids[RightToLeft];
            Grid.SetBiDiMode(RightToLeft ? Case.Mode : TCustomGrid::bdLeftToRight);
            for (int I = 0; I < 3; ++I) {
                TZQDataGridColumn* Column = Grid.Columns()->Add();
                Column->SetTitle(QStringLiteral("T%1").arg(I));
                Column->SetDataIndex(I);
                Column->SetWidth(90);
                const TAlignment Alignment = RightToLeft ? Case.Alignment : Case.LeftToRight;
                Column->SetTitleAlignment(Alignment);
                Column->SetDataAlignment(Alignment);
            }
            Grid.SetData(&Source);
            Grid.SetScrollBars(TScrollStyle::ssNone);
            Grid.SetClientSize(300, 150);
            // Neither grid takes the focus, which would frame its current cell in one only.
            Grid.setFocusPolicy(Qt::NoFocus);
            Grid.show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(&Grid));
            Paint(Grid, Pictures[RightToLeft]);
        }
        for (int Col = 0; Col < Grids[1].ColCount(); ++Col)
            for (int Row = 0; Row < 4; ++Row) {
                SCOPED_TRACE(QStringLiteral("cell %1, %2").arg(Col).arg(Row).toStdString());
                ASSERT_FALSE(Grids[1].CellRect(Col, Row).isEmpty());
                EXPECT_EQ(Grids[1].CellRect(Col, Row).right(), 299 - Grids[0].CellRect(Col, Row).left());
                EXPECT_EQ(Difference(Cell(Pictures[1], Grids[1], Col, Row), Cell(Pictures[0], Grids[0], Col, Row)), "");
            }
    }
}
