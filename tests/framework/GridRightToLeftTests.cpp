// Right to left: the grid mirrors what QTableView mirrors, and BiDiMode is layoutDirection.
#include "TestSupport.h"

#include "framework/GridTestHooks.h"
#include "framework/Grids.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>

namespace {

// A grid whose cells are filled by the base and given an edit text; it writes no text, so that a
// mirrored picture of it is exactly the other direction's picture.
class TPlainGrid : public TCustomGrid {
public:
    explicit TPlainGrid(QWidget* Parent = nullptr) : TCustomGrid(Parent)
    {
        resize(400, 300);
        SetScrollBars(TScrollStyle::ssNone);
        // A palette of its own, so that both grids of a comparison paint alike whatever the style.
        QPalette Colors = palette();
        Colors.setColor(QPalette::Base, Qt::white);
        Colors.setColor(QPalette::Button, QColor(200, 200, 200));
        Colors.setColor(QPalette::Highlight, QColor(0, 0, 160));
        Colors.setColor(QPalette::HighlightedText, Qt::white);
        Colors.setColor(QPalette::Text, Qt::black);
        Colors.setColor(QPalette::Dark, QColor(60, 60, 60));
        Colors.setColor(QPalette::Midlight, QColor(150, 150, 150));
        setPalette(Colors);
    }
    QList<TGridCoord> Drawn;

protected:
    void DrawCell(int ACol, int ARow, const QRect&, TGridDrawState) override { Drawn.append({ACol, ARow}); }
    QString GetEditText(int, int) override { return QStringLiteral("edit"); }
};

// A grid that writes a text with a neutral end into cell (1, 1), 2 pixels in from the left.
class TTextGrid : public TPlainGrid {
public:
    static inline const QString Text = QStringLiteral("Cell (1)!");

protected:
    void DrawCell(int ACol, int ARow, const QRect& Rect, TGridDrawState) override
    {
        if (ACol == 1 && ARow == 1)
            CellCanvas().TextRect(Rect, Rect.x() + 2, Rect.y() + 2, Text);
    }
};

QImage Picture(TCustomGrid& Grid)
{
    return Grid.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Where two pictures differ outside Skipped, for the failure's message: empty when they are alike.
std::string Difference(const QImage& Actual, const QImage& Expected, const QRegion& Skipped = QRegion())
{
    if (Actual.size() != Expected.size())
        return "sizes differ";
    int Count = 0;
    QPoint First(-1, -1);
    for (int Y = 0; Y < Actual.height(); ++Y)
        for (int X = 0; X < Actual.width(); ++X)
            if (Actual.pixel(X, Y) != Expected.pixel(X, Y) && !Skipped.contains(QPoint(X, Y)) && Count++ == 0)
                First = QPoint(X, Y);
    if (Count == 0)
        return std::string();
    return QStringLiteral("%1 pixels differ, the first at (%2, %3): %4 instead of %5")
        .arg(Count).arg(First.x()).arg(First.y())
        .arg(QColor(Actual.pixel(First)).name(), QColor(Expected.pixel(First)).name())
        .toStdString();
}

void SendMouse(QWidget* Viewport, QEvent::Type Type, QPoint At, Qt::MouseButtons Buttons)
{
    QMouseEvent Event(Type, QPointF(At), Viewport->mapToGlobal(QPointF(At)), Qt::LeftButton, Buttons, {});
    QApplication::sendEvent(Viewport, &Event);
}

// The application's direction for one test, put back afterwards.
struct TApplicationDirection {
    explicit TApplicationDirection(Qt::LayoutDirection Direction) { QApplication::setLayoutDirection(Direction); }
    ~TApplicationDirection() { QApplication::setLayoutDirection(Qt::LeftToRight); }
};

} // namespace

// Lines, fills, fixed cells, the selection, the focus rectangle and the area beyond the last
// cells: right to left the picture is the left-to-right one mirrored, in every layout.
TEST(GridRightToLeft, ThePictureIsTheLeftToRightOneMirrored)
{
    struct TCase {
        const char* Name;
        TGridOptions Options;
        int LineWidth;
        int FixedCols;
        int LeftCol;
    };
    const TGridOptions Lines{goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goRangeSelect};
    const TCase Cases[] = {
        {"all lines", Lines, 1, 1, 1},
        {"wide lines, two fixed columns, scrolled", Lines, 3, 2, 3},
        {"fixed lines only", TGridOptions{goFixedVertLine, goFixedHorzLine, goRangeSelect}, 1, 1, 1},
        {"row select", Lines | goRowSelect, 1, 1, 2},
        {"focus selected, no lines", TGridOptions{goDrawFocusSelected, goRangeSelect}, 0, 1, 1},
    };
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        QImage Pictures[2];
        QRect Focus;
        for (const bool RightToLeft : {false, true}) {
            TPlainGrid Grid;
            Grid.setLayoutDirection(RightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
            Grid.SetColCount(9);
            Grid.SetRowCount(30);
            Grid.SetOptions(Case.Options);
            Grid.SetGridLineWidth(Case.LineWidth);
            Grid.SetFixedCols(Case.FixedCols);
            Grid.SetColWidths(Case.FixedCols, 30);
            Grid.SetColWidths(Case.FixedCols + 1, 17);
            Grid.show();
            Grid.SetLeftCol(Case.LeftCol);
            Grid.FocusCell(Case.LeftCol + 1, 3);
            Grid.FocusCell(Case.LeftCol + 2, 5, false);
            Grid.setFocus();
            ASSERT_TRUE(QTest::qWaitForWindowActive(&Grid));
            // The columns end before the client area does: what lies beyond is painted too.
            ASSERT_LT(Grid.VisibleColCount() + Grid.FixedCols(), Grid.ColCount() - Grid.LeftCol() + Grid.FixedCols());
            Pictures[RightToLeft] = Picture(Grid);
            if (RightToLeft) {
                for (int Col = Grid.FixedCols(); Col < Grid.ColCount(); ++Col)
                    if (Case.Options & goRowSelect || Col == Grid.Col())
                        Focus |= Grid.CellRect(Col, Grid.Row());
            }
        }
        // The dots of the focus rectangle start at its left whichever way the grid runs, as
        // QTableView's do: its frame is compared for where it is, the rest pixel for pixel.
        ASSERT_FALSE(Focus.isEmpty());
        const QRegion Frame = (QRegion(Focus) - QRegion(Focus.adjusted(1, 1, -1, -1))) & QRegion(Pictures[1].rect());
        EXPECT_EQ(Difference(Pictures[1], Pictures[0].mirrored(true, false), Frame), "");
        const QColor Pen = Case.Options & (goDrawFocusSelected | goRowSelect) ? QColor(Qt::white) : QColor(Qt::black);
        int Dots = 0;
        for (const QRect& Strip : Frame)
            for (int Y = Strip.top(); Y <= Strip.bottom(); ++Y)
                for (int X = Strip.left(); X <= Strip.right(); ++X)
                    Dots += QColor(Pictures[1].pixel(X, Y)) == Pen;
        const QRect Shown = Focus & Pictures[1].rect();
        EXPECT_GT(Dots, (Shown.width() + Shown.height()) / 2);
    }
}

// Column 0 and the fixed columns at the right, the others running leftwards; a point maps to the
// cell drawn under it, and the rectangles are those of left to right mirrored.
TEST(GridRightToLeft, CellsAndHitTestingRunFromTheRightEdge)
{
    TPlainGrid LeftToRight;
    TPlainGrid RightToLeft;
    RightToLeft.setLayoutDirection(Qt::RightToLeft);
    for (TPlainGrid* Grid : {&LeftToRight, &RightToLeft}) {
        Grid->SetColCount(6);
        Grid->SetRowCount(40);
        Grid->SetFixedCols(2);
        Grid->SetColWidths(0, 30);
        Grid->SetColWidths(3, 50);
        Grid->show();
    }
    const int Width = RightToLeft.ClientSize().width();
    EXPECT_EQ(RightToLeft.CellRect(0, 0), QRect(Width - 30, 0, 30, 24));
    EXPECT_EQ(RightToLeft.CellRect(1, 0).right(), Width - 32);
    EXPECT_LT(RightToLeft.CellRect(3, 1).right(), RightToLeft.CellRect(2, 1).left());
    for (int Col = 0; Col < 6; ++Col)
        for (int Row : {0, 1, 7}) {
            const QRect Left = LeftToRight.CellRect(Col, Row);
            const QRect Right = RightToLeft.CellRect(Col, Row);
            SCOPED_TRACE(QStringLiteral("cell %1, %2").arg(Col).arg(Row).toStdString());
            EXPECT_EQ(Right, QRect(Width - Left.x() - Left.width(), Left.y(), Left.width(), Left.height()));
            if (Right.isEmpty())
                continue;
            for (const QPoint At : {Right.topLeft(), Right.bottomRight(), Right.center()})
                EXPECT_EQ(RightToLeft.MouseCoord(At.x(), At.y()), (TGridCoord{Col, Row}));
            // The line at the cell's left, as left to right the one at its right, is no cell.
            EXPECT_EQ(RightToLeft.MouseCoord(Right.left() - 1, Right.top()).X, -1);
        }
    // Left of the last column lies nothing.
    EXPECT_EQ(RightToLeft.MouseCoord(0, 30), (TGridCoord{-1, -1}));
}

// The sizing border is the column's left edge right to left, and dragging it left widens.
TEST(GridRightToLeft, AColumnIsSizedByDraggingItsLeftBorder)
{
    struct TCase {
        Qt::LayoutDirection Direction;
        int Drag;
        int Expected;
    };
    for (const TCase Case : {TCase{Qt::LeftToRight, 20, 84}, TCase{Qt::RightToLeft, -20, 84},
                             TCase{Qt::RightToLeft, 20, 44}, TCase{Qt::LeftToRight, -70, 4}}) {
        SCOPED_TRACE(Case.Direction == Qt::RightToLeft ? "right to left" : "left to right");
        TPlainGrid Grid;
        Grid.setLayoutDirection(Case.Direction);
        Grid.SetOptions(Grid.Options() | goColSizing);
        Grid.show();
        const QRect Cell = Grid.CellRect(1, 0);
        const QPoint Border(Case.Direction == Qt::RightToLeft ? Cell.left() - 1 : Cell.right() + 1, 10);
        // The pointer shows the border.
        SendMouse(Grid.viewport(), QEvent::MouseMove, Border, Qt::NoButton);
        EXPECT_EQ(Grid.viewport()->cursor().shape(), Qt::SplitHCursor);
        // The other edge of the column is no sizing border: there the previous column's is.
        SendMouse(Grid.viewport(), QEvent::MouseButtonPress, Border, Qt::LeftButton);
        SendMouse(Grid.viewport(), QEvent::MouseMove, Border + QPoint(Case.Drag, 0), Qt::LeftButton);
        SendMouse(Grid.viewport(), QEvent::MouseButtonRelease, Border + QPoint(Case.Drag, 0), Qt::NoButton);
        EXPECT_EQ(Grid.ColWidths(1), Case.Expected);
        EXPECT_EQ(Grid.ColWidths(0), 64);
        EXPECT_EQ(Grid.ColWidths(2), 64);
    }
}

// Left and Right follow the columns on the screen; Home and End go to the first and the last
// column, at the right and at the left, as QTableView's do.
TEST(GridRightToLeft, LeftAndRightKeysMoveAlongTheScreen)
{
    struct TCase {
        Qt::LayoutDirection Direction;
        int Key;
        int Expected;
    };
    const TCase Cases[] = {
        {Qt::LeftToRight, Qt::Key_Left, 1},  {Qt::LeftToRight, Qt::Key_Right, 3},
        {Qt::RightToLeft, Qt::Key_Left, 3},  {Qt::RightToLeft, Qt::Key_Right, 1},
        {Qt::LeftToRight, Qt::Key_Home, 1},  {Qt::RightToLeft, Qt::Key_Home, 1},
        {Qt::LeftToRight, Qt::Key_End, 4},   {Qt::RightToLeft, Qt::Key_End, 4},
    };
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(QStringLiteral("%1 key %2")
                         .arg(Case.Direction == Qt::RightToLeft ? "right to left" : "left to right")
                         .arg(Case.Key, 0, 16)
                         .toStdString());
        TPlainGrid Grid;
        Grid.setLayoutDirection(Case.Direction);
        Grid.show();
        Grid.setFocus();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&Grid));
        Grid.SetCol(2);
        const int Before = Grid.CellRect(2, 1).x();
        QTest::keyClick(&Grid, Qt::Key(Case.Key));
        EXPECT_EQ(Grid.Col(), Case.Expected);
        if (Case.Key == Qt::Key_Left) {
            EXPECT_LT(Grid.CellRect(Grid.Col(), 1).x(), Before);
        } else if (Case.Key == Qt::Key_Right) {
            EXPECT_GT(Grid.CellRect(Grid.Col(), 1).x(), Before);
        }
    }
}

// The horizontal scroll bar runs with the columns: its slider starts at the right, and moving it
// leftwards brings in the columns further left.
TEST(GridRightToLeft, TheHorizontalScrollBarRunsWithTheColumns)
{
    TPlainGrid Grid;
    Grid.setLayoutDirection(Qt::RightToLeft);
    Grid.SetScrollBars(TScrollStyle::ssBoth);
    Grid.SetColCount(30);
    Grid.show();
    QScrollBar* Bar = Grid.horizontalScrollBar();
    ASSERT_GT(Bar->maximum(), 0);
    const auto Slider = [&] {
        // The style's own option for the bar, through the protected member a derived class may name.
        struct TBar : QScrollBar {
            static void Init(const QScrollBar* Bar, QStyleOptionSlider* Option) { (Bar->*(&TBar::initStyleOption))(Option); }
        };
        QStyleOptionSlider Option;
        TBar::Init(Bar, &Option);
        return Bar->style()->subControlRect(QStyle::CC_ScrollBar, &Option, QStyle::SC_ScrollBarSlider, Bar);
    };
    const QRect AtStart = Slider();
    const int FirstLeft = Grid.CellRect(Grid.LeftCol(), 1).x();
    Bar->setValue(Bar->maximum());
    EXPECT_LT(Slider().center().x(), AtStart.center().x());
    EXPECT_EQ(Grid.LeftCol(), Grid.FixedCols() + Bar->maximum());
    // The last column is now in view at the left.
    EXPECT_FALSE(Grid.CellRect(29, 1).isEmpty());
    EXPECT_LT(Grid.CellRect(29, 1).x(), FirstLeft);
}

// The in-place editor stands over the current cell and reads as the grid does.
TEST(GridRightToLeft, TheEditorStandsOverTheMirroredCellAndReadsRightToLeft)
{
    struct TCase {
        TBiDiMode Mode;
        bool Mirrored;
        Qt::Alignment Alignment;
    };
    for (const TCase Case : {TCase{TCustomGrid::bdRightToLeft, true, Qt::AlignLeft},
                             TCase{TCustomGrid::bdRightToLeftNoAlign, true, Qt::AlignLeft | Qt::AlignAbsolute},
                             TCase{TCustomGrid::bdRightToLeftReadingOnly, false, Qt::AlignLeft | Qt::AlignAbsolute}}) {
        SCOPED_TRACE(int(Case.Mode));
        TPlainGrid Grid;
        Grid.SetOptions(Grid.Options() | goEditing);
        Grid.show();
        const QRect LeftToRight = Grid.CellRect(2, 1);
        Grid.SetCol(2);
        Grid.ShowEditor();
        Grid.SetBiDiMode(Case.Mode);
        QLineEdit* Editor = Grid.viewport()->findChild<QLineEdit*>();
        ASSERT_NE(Editor, nullptr);
        EXPECT_EQ(Editor->geometry(), Grid.CellRect(2, 1));
        EXPECT_EQ(Editor->geometry() == LeftToRight, !Case.Mirrored);
        EXPECT_EQ(Editor->layoutDirection(), Qt::RightToLeft);
        EXPECT_EQ(Editor->alignment() & Qt::AlignHorizontal_Mask, Case.Alignment);
        EXPECT_EQ(Editor->alignment() & Qt::AlignVertical_Mask, Qt::AlignVCenter);
        Grid.SetBiDiMode(TCustomGrid::bdLeftToRight);
        EXPECT_EQ(Editor->geometry(), LeftToRight);
        EXPECT_EQ(Editor->layoutDirection(), Qt::LeftToRight);
    }
}

// BiDiMode and layoutDirection are one setting, read and written either way; the two variants hold
// only while the direction they set lasts.
TEST(GridRightToLeft, BiDiModeAndTheLayoutDirectionAreOneSetting)
{
    struct TCase {
        TBiDiMode Set;
        Qt::LayoutDirection Direction;
    };
    TPlainGrid Grid;
    EXPECT_EQ(Grid.BiDiMode(), TCustomGrid::bdLeftToRight);
    for (const TCase Case : {TCase{TCustomGrid::bdRightToLeft, Qt::RightToLeft},
                             TCase{TCustomGrid::bdRightToLeftNoAlign, Qt::RightToLeft},
                             TCase{TCustomGrid::bdRightToLeftReadingOnly, Qt::LeftToRight},
                             TCase{TCustomGrid::bdLeftToRight, Qt::LeftToRight}}) {
        SCOPED_TRACE(int(Case.Set));
        Grid.SetBiDiMode(Case.Set);
        EXPECT_EQ(Grid.BiDiMode(), Case.Set);
        EXPECT_EQ(Grid.layoutDirection(), Case.Direction);
        EXPECT_EQ(Grid.property("BiDiMode").toInt(), int(Case.Set));
        EXPECT_FALSE(Grid.ParentBiDiMode());
    }
    Grid.setLayoutDirection(Qt::RightToLeft);
    EXPECT_EQ(Grid.BiDiMode(), TCustomGrid::bdRightToLeft);
    // A variant that its direction leaves is forgotten: coming back gives the plain mode.
    Grid.SetBiDiMode(TCustomGrid::bdRightToLeftNoAlign);
    Grid.setLayoutDirection(Qt::LeftToRight);
    EXPECT_EQ(Grid.BiDiMode(), TCustomGrid::bdLeftToRight);
    Grid.setLayoutDirection(Qt::RightToLeft);
    EXPECT_EQ(Grid.BiDiMode(), TCustomGrid::bdRightToLeft);
    Grid.SetBiDiMode(TCustomGrid::bdRightToLeftReadingOnly);
    Grid.setLayoutDirection(Qt::RightToLeft);
    EXPECT_EQ(Grid.BiDiMode(), TCustomGrid::bdRightToLeft);
    Grid.setLayoutDirection(Qt::LeftToRight);
    EXPECT_EQ(Grid.BiDiMode(), TCustomGrid::bdLeftToRight);
    // Through the meta-object system, as a window description sets it.
    EXPECT_TRUE(Grid.setProperty("BiDiMode", QVariant::fromValue(TCustomGrid::bdRightToLeft)));
    EXPECT_TRUE(Grid.isRightToLeft());
}

// While the direction is inherited the grid follows the application and its parent, and mirrors
// at once; a direction of its own, or ParentBiDiMode false, keeps it.
TEST(GridRightToLeft, TheGridFollowsTheApplicationAndItsParent)
{
    QWidget Parent;
    Parent.resize(420, 320);
    TPlainGrid Grid(&Parent);
    TPlainGrid Own(&Parent);
    Own.SetBiDiMode(TCustomGrid::bdLeftToRight);
    Parent.show();
    EXPECT_TRUE(Grid.ParentBiDiMode());
    const QRect LeftToRight = Grid.CellRect(1, 1);
    {
        const TApplicationDirection Reversed(Qt::RightToLeft);
        EXPECT_EQ(Grid.BiDiMode(), TCustomGrid::bdRightToLeft);
        EXPECT_NE(Grid.CellRect(1, 1), LeftToRight);
        EXPECT_EQ(Own.BiDiMode(), TCustomGrid::bdLeftToRight);
        // The change repaints: the next paint draws every cell.
        Grid.Drawn.clear();
        QTest::qWait(0);
        QApplication::processEvents();
        Grid.viewport()->repaint();
        EXPECT_FALSE(Grid.Drawn.isEmpty());
    }
    EXPECT_EQ(Grid.BiDiMode(), TCustomGrid::bdLeftToRight);
    EXPECT_EQ(Grid.CellRect(1, 1), LeftToRight);

    Parent.setLayoutDirection(Qt::RightToLeft);
    EXPECT_EQ(Grid.BiDiMode(), TCustomGrid::bdRightToLeft);
    EXPECT_EQ(Own.BiDiMode(), TCustomGrid::bdLeftToRight);
    // Letting the grid with a direction of its own follow again.
    Own.SetParentBiDiMode(true);
    EXPECT_TRUE(Own.ParentBiDiMode());
    EXPECT_EQ(Own.BiDiMode(), TCustomGrid::bdRightToLeft);
    // And keeping what it has.
    Grid.SetParentBiDiMode(false);
    Parent.setLayoutDirection(Qt::LeftToRight);
    EXPECT_EQ(Grid.BiDiMode(), TCustomGrid::bdRightToLeft);
    EXPECT_EQ(Own.BiDiMode(), TCustomGrid::bdLeftToRight);
    // A variant set in the grid is dropped with its own direction.
    Grid.SetBiDiMode(TCustomGrid::bdRightToLeftReadingOnly);
    Grid.SetParentBiDiMode(true);
    EXPECT_EQ(Grid.BiDiMode(), TCustomGrid::bdLeftToRight);
}

// Where a text starts in its cell: mirrored only in bdRightToLeft, never with Qt::AlignAbsolute.
TEST(GridRightToLeft, TextsAreAlignedMirroredOnlyInTheFullMode)
{
    struct TCase {
        TBiDiMode Mode;
        Qt::Alignment Alignment;
        int Expected;
    };
    // A cell from x = 100, 60 wide, a text 20 wide, a margin of 4.
    const TCase Cases[] = {
        {TCustomGrid::bdLeftToRight, Qt::AlignLeft, 104},
        {TCustomGrid::bdLeftToRight, Qt::AlignRight, 136},
        {TCustomGrid::bdLeftToRight, Qt::AlignHCenter, 120},
        {TCustomGrid::bdRightToLeft, Qt::AlignLeft, 136},
        {TCustomGrid::bdRightToLeft, Qt::AlignRight, 104},
        {TCustomGrid::bdRightToLeft, Qt::AlignHCenter, 120},
        {TCustomGrid::bdRightToLeft, Qt::AlignLeft | Qt::AlignAbsolute, 104},
        {TCustomGrid::bdRightToLeftNoAlign, Qt::AlignLeft, 104},
        {TCustomGrid::bdRightToLeftNoAlign, Qt::AlignRight, 136},
        {TCustomGrid::bdRightToLeftReadingOnly, Qt::AlignLeft, 104},
        {TCustomGrid::bdRightToLeftReadingOnly, Qt::AlignRight, 136},
    };
    TPlainGrid Grid;
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(QStringLiteral("mode %1, alignment %2").arg(int(Case.Mode)).arg(int(Case.Alignment)).toStdString());
        Grid.SetBiDiMode(Case.Mode);
        EXPECT_EQ(Grid.AlignedTextX(QRect(100, 0, 60, 20), 20, Case.Alignment, 4), Case.Expected);
    }
}

// Texts read right to left in the three right-to-left modes, also where the layout stays left to
// right, and alike in the first paint and in the later ones that reuse the laid-out text.
TEST(GridRightToLeft, TextsReadInTheGridsReadingOrderInEveryPaint)
{
    struct TCase {
        TBiDiMode Mode;
        Qt::LayoutDirection Reading;
    };
    for (const TCase Case : {TCase{TCustomGrid::bdLeftToRight, Qt::LeftToRight},
                             TCase{TCustomGrid::bdRightToLeft, Qt::RightToLeft},
                             TCase{TCustomGrid::bdRightToLeftNoAlign, Qt::RightToLeft},
                             TCase{TCustomGrid::bdRightToLeftReadingOnly, Qt::RightToLeft}}) {
        SCOPED_TRACE(int(Case.Mode));
        TTextGrid Grid;
        Grid.setFocusPolicy(Qt::NoFocus);
        Grid.SetFixedRows(0);
        Grid.SetFixedCols(0);
        Grid.SetColWidths(1, 120);
        Grid.SetBiDiMode(Case.Mode);
        Grid.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&Grid));
        const QRect Cell = Grid.CellRect(1, 1);
        const auto Written = [&](Qt::LayoutDirection Reading) {
            QImage Image(Cell.size(), QImage::Format_RGB32);
            Image.fill(Grid.palette().color(QPalette::Highlight));
            QPainter Painter(&Image);
            Painter.setLayoutDirection(Reading);
            Painter.setFont(Grid.font());
            Painter.setPen(Grid.palette().color(QPalette::HighlightedText));
            Painter.drawText(QPoint(2, 2 + QFontMetrics(Grid.font()).ascent()), TTextGrid::Text);
            return Image;
        };
        // The reading order shows: the neutral end goes to the other side.
        ASSERT_NE(Written(Qt::LeftToRight), Written(Qt::RightToLeft));
        for (const char* When : {"first paint", "second paint", "third paint"})
            EXPECT_EQ(Difference(Picture(Grid).copy(Cell), Written(Case.Reading)), "") << When;
    }
}

// What the grid asks to repaint right to left is where the cells stand: a column, a cell, the
// selection a move changes, the row of a focus change.
TEST(GridRightToLeft, RepaintsCoverTheMirroredCells)
{
    TPlainGrid Grid;
    Grid.setLayoutDirection(Qt::RightToLeft);
    Grid.SetRowCount(20);
    Grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Grid));
    QRegion Asked;
    TGridTestHooks::OnInvalidateRect(Grid) = [&](const QRect& Rect) { Asked += Rect; };
    const auto Column = [&](int ACol) {
        QRegion Cells;
        for (int Row = 0; Row < Grid.RowCount(); ++Row)
            Cells += Grid.CellRect(ACol, Row);
        return Cells & QRect(QPoint(0, 0), Grid.ClientSize());
    };

    Grid.InvalidateCol(2);
    EXPECT_EQ(Asked.boundingRect(), QRect(Grid.CellRect(2, 0).x(), 0, Grid.CellRect(2, 0).width(), Grid.ClientSize().height()));
    EXPECT_TRUE((Column(2) - Asked).isEmpty());

    Asked = QRegion();
    Grid.InvalidateCell(3, 4);
    EXPECT_EQ(Asked, QRegion(Grid.CellRect(3, 4)));

    // A range from (1, 1) stretched to (3, 2) repaints every cell it takes in.
    Asked = QRegion();
    Grid.FocusCell(1, 1);
    Grid.FocusCell(3, 2, false);
    for (int Col = 1; Col <= 3; ++Col)
        for (int Row = 1; Row <= 2; ++Row)
            EXPECT_TRUE((QRegion(Grid.CellRect(Col, Row)) - Asked).isEmpty()) << Col << ", " << Row;
    EXPECT_FALSE(Asked.intersects(Grid.CellRect(4, 1)));
    TGridTestHooks::OnInvalidateRect(Grid) = nullptr;
}
