#include "TestSupport.h"
#include "framework/GridTestHooks.h"

#include "framework/Grids.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QLineEdit>
#include <QPainter>
#include <QScrollBar>
#include <QTest>

using namespace Exceptions;

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
    // When set, what each cell writes, two pixels in from its top left corner.
    std::function<QString(int ACol, int ARow)> CellText;

    using TCustomGrid::KeyPress;

protected:
    void DrawCell(int ACol, int ARow, const QRect& Rect, TGridDrawState State) override
    {
        Drawn.append({ACol, ARow, Rect, State, CellCanvas().Brush().Color});
        if (CellText)
            CellCanvas().TextRect(Rect, Rect.x() + 2, Rect.y() + 2, CellText(ACol, ARow));
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

// The installed classes keep their fields behind one pointer each, so that fields can come and go
// without changing the size a program compiled against them allocates.
TEST(GridLayout, EachClassAddsOnePointerToItsBase)
{
    EXPECT_EQ(sizeof(TGridCanvas), sizeof(void*));
    EXPECT_EQ(sizeof(TCustomGrid), sizeof(QAbstractScrollArea) + sizeof(void*));
    EXPECT_EQ(sizeof(TDrawGrid), sizeof(TCustomGrid) + sizeof(void*));
}

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

// A palette switched after the grid is shown: the colours the program never set follow it, the
// cells' text included, as a QTableView beside the grid would; a colour the program set stays.
TEST(GridPainting, ColoursNotSetByTheProgramFollowAPaletteSwitchedAfterShowAndSetOnesStay)
{
    const QPalette Original = QApplication::palette();
    TTestGrid Following;
    TTestGrid Set;
    const QColor Yellow(0xFF, 0xFF, 0x80);
    Set.SetColor(Yellow);
    Set.move(0, 310);
    for (TTestGrid* Grid : {&Following, &Set}) {
        Grid->CellText = [](int, int) { return QStringLiteral("WWW"); };
        Grid->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Grid));
    }
    QPalette Dark = Original;
    Dark.setColor(QPalette::Base, QColor(0x20, 0x20, 0x20));
    Dark.setColor(QPalette::Text, QColor(0xF0, 0xF0, 0xF0));
    Dark.setColor(QPalette::Button, QColor(0x30, 0x30, 0x48));
    Dark.setColor(QPalette::Highlight, QColor(0x10, 0x60, 0x10));
    QApplication::setPalette(Dark);
    QCoreApplication::sendPostedEvents(); // the widgets are told of the new palette by posted events
    ASSERT_EQ(Following.palette().color(QPalette::Base), Dark.color(QPalette::Base));

    const QImage Image = Following.viewport()->grab().toImage();
    const QRect Cell = Following.CellRect(2, 2);
    EXPECT_EQ(Image.pixelColor(Cell.right() - 1, Cell.bottom() - 1), Dark.color(QPalette::Base));
    int Light = 0; // pixels of the text, light on the dark cell
    for (int Y = Cell.top(); Y <= Cell.bottom(); ++Y)
        for (int X = Cell.left(); X <= Cell.right(); ++X)
            Light += Image.pixelColor(X, Y).lightness() > 160;
    EXPECT_GT(Light, 5) << "the text is not drawn in the palette's text colour";
    EXPECT_EQ(Following.Color(), Dark.color(QPalette::Base));
    const QRect Fixed = Following.CellRect(0, 2);
    EXPECT_EQ(Image.pixelColor(Fixed.right() - 1, Fixed.bottom() - 1), Dark.color(QPalette::Button));
    const QRect Current = Following.CellRect(1, 1);
    EXPECT_EQ(Image.pixelColor(Current.right() - 1, Current.bottom() - 1), Dark.color(QPalette::Highlight));

    const QImage SetImage = Set.viewport()->grab().toImage();
    EXPECT_EQ(SetImage.pixelColor(Cell.right() - 1, Cell.bottom() - 1), Yellow);
    EXPECT_EQ(SetImage.pixelColor(Fixed.right() - 1, Fixed.bottom() - 1), Dark.color(QPalette::Button));
    QApplication::setPalette(Original);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(Following.Color(), Original.color(QPalette::Base));
    EXPECT_EQ(Set.Color(), Yellow);
}

// ScrollBars and Qt's two policies are one setting, whichever a program or Designer sets, and
// neither scrolling nor a change of the counts resets it.
TEST(GridScrollBars, ScrollBarsAndQtsPoliciesAreOneSettingThatScrollingLeavesAlone)
{
    TTestGrid Grid; // made with ssNone
    EXPECT_EQ(Grid.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(Grid.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    Grid.SetRowCount(1000);
    Grid.SetColCount(40);
    Grid.SetScrollBars(TCustomGrid::ssBoth);
    EXPECT_EQ(Grid.verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
    Grid.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Grid));

    Grid.SetTopRow(10);
    Grid.verticalScrollBar()->setValue(200);
    QTest::keyClick(&Grid, Qt::Key_PageDown);
    Grid.SetLeftCol(5);
    Grid.SetRowCount(2000);
    EXPECT_GT(Grid.TopRow(), 10);
    EXPECT_EQ(Grid.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn) << "reset by a scroll";
    EXPECT_EQ(Grid.ScrollBars(), TCustomGrid::ssBoth);
    Grid.SetScrollBars(TCustomGrid::ssBoth);
    EXPECT_EQ(Grid.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn) << "a bar that stays on keeps its policy";

    // As Designer writes them: by the properties' names.
    ASSERT_TRUE(Grid.setProperty("horizontalScrollBarPolicy", QVariant::fromValue(Qt::ScrollBarAlwaysOff)));
    EXPECT_EQ(Grid.property("ScrollBars").value<TScrollStyle>(), TCustomGrid::ssVertical);
    ASSERT_TRUE(Grid.setProperty("ScrollBars", QVariant::fromValue(TCustomGrid::ssHorizontal)));
    EXPECT_EQ(Grid.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(Grid.horizontalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
    EXPECT_FALSE(Grid.verticalScrollBar()->isVisible());
    Grid.SetScrollBars(TCustomGrid::ssNone);
    EXPECT_EQ(Grid.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

namespace {

// A grid shown in a window beside a line edit that can take the focus from it.
struct TFocusWindow {
    TFocusWindow()
    {
        Grid->setParent(&Window);
        Other->move(0, 310);
        Window.show();
        Window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&Window));
    }
    const TTestGrid::TDrawn* Painted(int ACol, int ARow)
    {
        Grid->Drawn.clear();
        Image = Grid->viewport()->grab().toImage();
        for (const TTestGrid::TDrawn& Cell : Grid->Drawn)
            if (Cell.ACol == ACol && Cell.ARow == ARow)
                return &Cell;
        return nullptr;
    }
    // Whether the top edge of a cell shows the dots of a focus rectangle in that colour.
    bool Framed(const QRect& Cell, QPalette::ColorRole Role) const
    {
        const QRgb Dot = Grid->palette().color(Role).rgb() & 0xFFFFFFu;
        int Dots = 0;
        for (int X = Cell.left(); X <= Cell.right(); ++X)
            Dots += PixelAt(Image, X, Cell.top()) == Dot;
        return Dots >= Cell.width() / 3;
    }

    QWidget Window;
    TTestGrid* Grid = new TTestGrid;
    QLineEdit* Other = new QLineEdit(&Window);
    QImage Image;
};

} // namespace

TEST(GridPainting, TheCurrentCellIsHighlightedWithoutTheFocusAndFramedWithIt)
{
    TFocusWindow Shown;
    TTestGrid& Grid = *Shown.Grid;
    const QColor Highlight = Grid.palette().color(QPalette::Highlight);
    Grid.SetColor(Qt::white);
    Grid.SetRow(2);
    const QRect Cell = Grid.CellRect(1, 2);

    Shown.Other->setFocus();
    const TTestGrid::TDrawn* Current = Shown.Painted(1, 2);
    ASSERT_NE(Current, nullptr);
    EXPECT_EQ(Current->State, TGridDrawState(gdSelected));
    EXPECT_EQ(Current->Brush, Highlight);
    EXPECT_FALSE(Shown.Framed(Cell, QPalette::Text));
    for (const TTestGrid::TDrawn& Other : Grid.Drawn) {
        const bool IsCurrent = Other.ACol == 1 && Other.ARow == 2;
        EXPECT_EQ(bool(Other.State & gdSelected), IsCurrent) << Other.ACol << " " << Other.ARow;
    }

    Grid.Invalidated = QRegion();
    Grid.setFocus();
    EXPECT_TRUE(Grid.Invalidated.contains(Cell));
    Current = Shown.Painted(1, 2);
    EXPECT_EQ(Current->State, TGridDrawState(gdFocused));
    EXPECT_EQ(Current->Brush, QColor(Qt::white));
    EXPECT_TRUE(Shown.Framed(Cell, QPalette::Text));

    // Both at once when asked, the frame then in the highlighted text's colour.
    Grid.SetOptions(Grid.Options() | goDrawFocusSelected);
    Current = Shown.Painted(1, 2);
    EXPECT_EQ(Current->State, gdSelected | gdFocused);
    EXPECT_EQ(Current->Brush, Highlight);
    EXPECT_TRUE(Shown.Framed(Cell, QPalette::HighlightedText));

    // A selected row is highlighted whole and framed whole.
    Grid.SetOptions((Grid.Options() & ~TGridOptions(goDrawFocusSelected)) | goRowSelect);
    Current = Shown.Painted(3, 2);
    ASSERT_NE(Current, nullptr);
    EXPECT_EQ(Current->State, TGridDrawState(gdSelected));
    EXPECT_EQ(Shown.Painted(1, 2)->State, gdSelected | gdFocused);
    EXPECT_TRUE(Shown.Framed(Grid.CellRect(3, 2), QPalette::HighlightedText));
    Grid.Invalidated = QRegion();
    Shown.Other->setFocus();
    EXPECT_TRUE(Grid.Invalidated.contains(Grid.CellRect(4, 2)));
    EXPECT_EQ(Shown.Painted(3, 2)->State, TGridDrawState(gdSelected));
    EXPECT_FALSE(Shown.Framed(Grid.CellRect(3, 2), QPalette::HighlightedText));

    // Without default drawing the state reaches the handler, but the canvas stays plain.
    Grid.SetDefaultDrawing(false);
    Current = Shown.Painted(3, 2);
    EXPECT_EQ(Current->State, TGridDrawState(gdSelected));
    EXPECT_EQ(Current->Brush, QColor(Qt::white));
}

TEST(GridPainting, AFocusedCurrentCellInARangeIsFramedAndTheRestHighlighted)
{
    TFocusWindow Shown;
    TTestGrid& Grid = *Shown.Grid;
    Grid.setFocus();
    Grid.FocusCell(2, 2);
    Grid.FocusCell(3, 3, false);
    EXPECT_EQ(Shown.Painted(3, 3)->State, TGridDrawState(gdFocused));
    EXPECT_EQ(Shown.Painted(2, 2)->State, TGridDrawState(gdSelected));
    EXPECT_EQ(Shown.Painted(3, 2)->State, TGridDrawState(gdSelected));
    EXPECT_EQ(Shown.Painted(1, 1)->State, TGridDrawState());
}

// The canvas keeps what it learnt of a text between paints: whether a text is written for the
// first time, again in the same paint, in a later paint or in another font, it looks as the
// painter writes it, clipped to its cell.
TEST(GridPainting, TextsLookAsThePainterWritesThemInEveryPaintAndFont)
{
    TTestGrid Grid;
    Grid.SetColor(Qt::white);
    const QString Wide = QStringLiteral("A text far wider than its cell");
    Grid.CellText = [&](int ACol, int ARow) {
        if (ACol == 2 && ARow == 2)
            return Wide;
        if (ACol == 3 && ARow == 2)
            return QString();
        return ARow == 0 || ACol == 0 ? QStringLiteral("Title") : QStringLiteral("Cell %1").arg(ARow);
    };
    Grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Grid));
    auto Expected = [&](int ACol, int ARow, const QColor& Brush) {
        const QRect Cell = Grid.CellRect(ACol, ARow);
        QImage Image(Cell.size(), QImage::Format_RGB32);
        Image.fill(Brush);
        QPainter Painter(&Image);
        Painter.setFont(Grid.font());
        Painter.setPen(Grid.palette().color(QPalette::Text));
        Painter.drawText(QPoint(2, 2 + QFontMetrics(Grid.font()).ascent()), Grid.CellText(ACol, ARow));
        return Image;
    };
    auto ExpectCellsAsWritten = [&](const char* When) {
        const QImage Shown = Grid.viewport()->grab().toImage();
        for (const auto& [ACol, ARow] : {std::pair{1, 0}, std::pair{2, 0}, std::pair{3, 1}, std::pair{3, 3},
                                         std::pair{2, 2}}) {
            const QRect Cell = Grid.CellRect(ACol, ARow);
            const QImage Reference = Expected(ACol, ARow, ARow == 0 ? Grid.FixedColor() : QColor(Qt::white));
            int Different = 0;
            for (int Y = 0; Y < Cell.height(); ++Y)
                for (int X = 0; X < Cell.width(); ++X)
                    Different += PixelAt(Shown, Cell.x() + X, Cell.y() + Y) != PixelAt(Reference, X, Y);
            EXPECT_EQ(Different, 0) << When << ": cell " << ACol << " " << ARow;
        }
        // Nothing of the wide text reaches the empty cell beside it.
        const QRect Next = Grid.CellRect(3, 2);
        int Marked = 0;
        for (int X = Next.left(); X <= Next.right(); ++X)
            for (int Y = Next.top(); Y <= Next.bottom(); ++Y)
                Marked += PixelAt(Shown, X, Y) != 0xFFFFFFu;
        EXPECT_EQ(Marked, 0) << When;
    };
    ExpectCellsAsWritten("first paint");
    ExpectCellsAsWritten("second paint");
    QFont Larger = Grid.font();
    Larger.setPixelSize(QFontInfo(Larger).pixelSize() + 5);
    Grid.setFont(Larger);
    ExpectCellsAsWritten("larger font");
    ExpectCellsAsWritten("larger font again");
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
    Grid.SetOnKeyPress(TKeyPressEvent(&Swallow, &TSwallow::Handle));
    Key = u'\r';
    Grid.KeyPress(Key);
    EXPECT_EQ(Key, QChar(u'x'));
    EXPECT_FALSE(Grid.EditorMode());
}

TEST(GridKeys, TabMovesThroughTheCellsWithGoTabsAndOtherwiseToTheNextControl)
{
    QWidget Window;
    TTestGrid* Grid = new TTestGrid;
    Grid->setParent(&Window);
    auto* Next = new QLineEdit(&Window);
    Next->move(0, 310);
    Window.show();
    Window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Window));
    Grid->setFocus();
    Grid->SetOptions(Grid->Options() | goTabs);
    Grid->SetCol(Grid->ColCount() - 1);
    QTest::keyClick(static_cast<QWidget*>(Grid), Qt::Key_Tab);
    EXPECT_TRUE(Grid->hasFocus());
    EXPECT_EQ(Grid->Col(), Grid->FixedCols());
    EXPECT_EQ(Grid->Row(), 2);
    QTest::keyClick(static_cast<QWidget*>(Grid), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(Grid->Col(), Grid->ColCount() - 1);
    EXPECT_EQ(Grid->Row(), 1);

    Grid->SetOptions(Grid->Options() & ~TGridOptions(goTabs));
    QTest::keyClick(static_cast<QWidget*>(Grid), Qt::Key_Tab);
    EXPECT_TRUE(Next->hasFocus());
    EXPECT_EQ(Grid->Row(), 1);
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
    Grid.SetOnDblClick(TNotifyEvent(&One, &THost::A));
    Grid.DblClick();
    EXPECT_EQ(One.Calls, 1);
}
