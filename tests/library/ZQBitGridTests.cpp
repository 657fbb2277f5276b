#include "components/ZQBitGrid.h"
#include "framework/GridTestHooks.h"

#include "TestSupport.h"
#include "framework/Registry.h"

#include <gtest/gtest.h>

#include <QCursor>
#include <QFontMetrics>
#include <QMap>
#include <QStringList>
#include <QTest>

#ifndef _WIN32
#include <sys/resource.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <climits>
#include <cstdio>
#include <new>
#include <set>
#include <stdexcept>
#include <utility>

using namespace Exceptions;

using ZQ::TZQBitGrid;

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZQ_HAS_ADDRESS_SANITIZER 1
#endif
#endif
#ifndef ZQ_HAS_ADDRESS_SANITIZER
#define ZQ_HAS_ADDRESS_SANITIZER 0
#endif

namespace {

// The handlers a form would install, writing what they are told into one log so that the order of
// calls, repaints and reports can be checked together.
class THandlers {
public:
    QStringList Log;
    // The application's bits, as the exchange handler keeps them.
    QMap<std::pair<int, int>, bool> Bits;
    bool ThrowOnStore = false;
    QChar KeyReplacement;
    int RefusedCol = -1;

    void ExchangeData(QObject*, bool Set, int DataRow, int BitNo, bool& Value)
    {
        if (Set) {
            Log << QStringLiteral("store %1 %2 %3").arg(DataRow).arg(BitNo).arg(Value);
            if (ThrowOnStore)
                throw std::runtime_error("storage is read-only");
            Bits[{DataRow, BitNo}] = Value;
            return;
        }
        Log << QStringLiteral("fetch %1 %2 %3").arg(DataRow).arg(BitNo).arg(Value);
        Value = Bits.value({DataRow, BitNo});
    }
    void CellDataChanged(QObject*, int ACol, int ARow) { Log << QStringLiteral("changed %1 %2").arg(ACol).arg(ARow); }
    void DrawCell(QObject*, int ACol, int ARow, const QRect&, TGridDrawState State)
    {
        Log << QStringLiteral("draw %1 %2%3").arg(ACol).arg(ARow).arg(State & gdFixed ? " fixed" : "");
    }
    void SelectCell(QObject*, int ACol, int ARow, bool& CanSelect)
    {
        Log << QStringLiteral("select %1 %2").arg(ACol).arg(ARow);
        if (ACol == RefusedCol)
            CanSelect = false;
    }
    void DblClicked(QObject*) { Log << QStringLiteral("dblclick"); }
    void KeyPressed(QObject*, QChar& Key) { Key = KeyReplacement; }

    int Count(const QString& Prefix) const
    {
        int N = 0;
        for (const QString& Entry : Log)
            N += Entry.startsWith(Prefix);
        return N;
    }
};

QString Rect(const QRect& R)
{
    return QStringLiteral("repaint %1,%2 %3x%4").arg(R.x()).arg(R.y()).arg(R.width()).arg(R.height());
}

class TBitGridFixture : public ::testing::Test {
protected:
    struct TCellText {
        QString Text;
        int DX = 0, DY = 0;
        bool Written = false;
    };

    void SetUp() override
    {
        Grid.SetClientSize(400, 200);
        Grid.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&Grid));
        TGridTestHooks::OnText(Grid.CellCanvas()) = [this](const QRect& R, int X, int Y, const QString& Text) {
            Texts[{R.x(), R.y()}] = {Text, X - R.x(), Y - R.y(), true};
            Form.Log << QStringLiteral("text %1,%2").arg(R.x()).arg(R.y());
        };
        TGridTestHooks::OnInvalidateRect(Grid) = [this](const QRect& R) { Form.Log << Rect(R); };
        Paint();
    }

    // Painting runs guarded: an exception from it would only be shown, not fail the test.
    void TearDown() override { EXPECT_EQ(Shown.Messages, QStringList()); }

    void Paint()
    {
        Texts.clear();
        Grid.viewport()->grab();
        Form.Log.clear();
    }
    // Paints, keeping in the log what painting did.
    void PaintLogged()
    {
        Texts.clear();
        Form.Log.clear();
        Grid.viewport()->grab();
    }

    TCellText At(int ACol, int ARow) const
    {
        const QRect R = Grid.CellRect(ACol, ARow);
        return Texts.value({R.x(), R.y()});
    }
    QString Text(int ACol, int ARow) const { return At(ACol, ARow).Text; }
    // The texts of one row from column First on.
    QStringList RowTexts(int ARow, int First = 0) const
    {
        QStringList Row;
        for (int ACol = First; ACol < Grid.ColCount(); ++ACol)
            Row << Text(ACol, ARow);
        return Row;
    }
    QStringList Repaints() const { return Form.Log.filter(QStringLiteral("repaint")); }

    QRect Whole() const { return QRect(QPoint(0, 0), Grid.ClientSize()); }
    QRect RowArea(int ARow) const
    {
        const QRect Cell = Grid.CellRect(Grid.GetFixedCols(), ARow);
        return QRect(0, Cell.y(), Grid.ClientSize().width(), Cell.height());
    }
    QRect ColArea(int ACol) const
    {
        const QRect Cell = Grid.CellRect(ACol, 0);
        return QRect(Cell.x(), 0, Cell.width(), Grid.ClientSize().height());
    }

    void InstallHandlers()
    {
        Grid.SetOnExchangeData(ZQ::TExchangeDataEvent(&Form, &THandlers::ExchangeData));
        Grid.SetOnCellDataChanged(ZQ::TCellDataChangedEvent(&Form, &THandlers::CellDataChanged));
        Form.Log.clear();
    }
    // The Qt signals, logged with the handlers' calls.
    void ConnectSignals()
    {
        QObject::connect(&Grid, &TZQBitGrid::cellDataChanged, &Grid,
                         [this](int ACol, int ARow) { Form.Log << QStringLiteral("signal %1 %2").arg(ACol).arg(ARow); });
        QObject::connect(&Grid, &TCustomGrid::currentCellChanged, &Grid,
                         [this](int ACol, int ARow) { Form.Log << QStringLiteral("current %1 %2").arg(ACol).arg(ARow); });
    }

    // Double-clicks with the pointer at a point of the client area.
    void DoubleClickAt(const QPoint& Point)
    {
        QCursor::setPos(Grid.viewport()->mapToGlobal(Point));
        Grid.DblClick();
    }

    // Destroyed after the grid, which may still repaint while it goes.
    TShownExceptions Shown;
    THandlers Form;
    QMap<std::pair<int, int>, TCellText> Texts;
    TZQBitGrid Grid;
};

QString RangeErrorOf(const std::function<void()>& Operation)
{
    try {
        Operation();
    } catch (const ERangeError& E) {
        return E.Message();
    }
    return QStringLiteral("no range error");
}

const QString DataRowOutOfBounds = QStringLiteral("TZQBitGrid: data row index out of bounds");

QStringList Numbers(int From, int DownTo)
{
    QStringList List;
    for (int N = From; N >= DownTo; --N)
        List << QString::number(N);
    return List;
}

QStringList Repeated(const QString& Text, int Count)
{
    QStringList List;
    for (int I = 0; I < Count; ++I)
        List << Text;
    return List;
}

using NewBitGrid = TBitGridFixture;
using BitGridAddresses = TBitGridFixture;
using BitGridFixedCounts = TBitGridFixture;
using BitGridWords = TBitGridFixture;
using BitGridRangeErrors = TBitGridFixture;
using BitGridExchange = TBitGridFixture;
using BitGridKeys = TBitGridFixture;
using BitGridDoubleClick = TBitGridFixture;
using BitGridSelection = TBitGridFixture;
using BitGridDrawing = TBitGridFixture;
using BitGridRepaint = TBitGridFixture;

} // namespace

// A new grid ---------------------------------------------------------------------------------------

TEST_F(NewBitGrid, ShowsBitNumbersSevenToZeroAddressZeroAndAZeroInEveryDataCell)
{
    EXPECT_EQ(Grid.ColCount(), 9);
    EXPECT_EQ(Grid.RowCount(), 2);
    EXPECT_EQ(Grid.GetFixedCols(), 1);
    EXPECT_EQ(Grid.GetFixedRows(), 1);
    EXPECT_EQ(RowTexts(0, 1), Numbers(7, 0));
    EXPECT_EQ(Text(0, 1), "00000000");
    EXPECT_EQ(RowTexts(1, 1), Repeated("0", 8));
    EXPECT_EQ(Grid.GetDataWords(0), 0);
    // The corner has no text but is still filled.
    EXPECT_TRUE(At(0, 0).Written);
    EXPECT_EQ(Text(0, 0), "");
}

TEST_F(NewBitGrid, HasNarrowBitColumnsAndAnAddressColumnWideEnoughForEightDigits)
{
    // 64 pixels, or in a wider font the widest address with four pixels either side of it.
    const int Address = QFontMetrics(Grid.font()).horizontalAdvance(QStringLiteral("FFFFFFFF"));
    EXPECT_EQ(Grid.CellRect(0, 1).width(), std::max(64, Address + 8));
    for (int ACol = 1; ACol < 9; ++ACol)
        EXPECT_EQ(Grid.CellRect(ACol, 1).width(), 24) << ACol;
    Grid.SetDataCols(9);
    EXPECT_EQ(Grid.ColWidths(9), 24);
}

TEST_F(NewBitGrid, TheAddressColumnHoldsTheWholeAddressInTheDefaultFontAndFollowsFontChangesUntilTheProgramSizesIt)
{
    const auto AddressFits = [this] {
        Grid.SetWordAddressTitleOffset(-1); // row 0 shows FFFFFFFF, the widest digits
        Paint();
        const TCellText Written = At(0, 1);
        EXPECT_EQ(Written.Text, "FFFFFFFF");
        EXPECT_GE(Written.DX, 4) << "the first digit is cut off";
        EXPECT_LE(Written.DX + QFontMetrics(Grid.font()).horizontalAdvance(Written.Text), Grid.ColWidths(0) - 4);
    };
    AddressFits();
    const int DefaultWidth = Grid.ColWidths(0);

    QFont Large = Grid.font();
    Large.setPixelSize(30);
    Grid.setFont(Large);
    EXPECT_GT(Grid.ColWidths(0), DefaultWidth);
    AddressFits();
    QFont Small = Grid.font();
    Small.setPixelSize(8);
    Grid.setFont(Small);
    EXPECT_EQ(Grid.ColWidths(0), 64) << "never narrower than the room of the platform's font";

    Grid.SetColWidths(0, 50);
    Grid.setFont(Large);
    EXPECT_EQ(Grid.ColWidths(0), 50) << "a width the program gave stays";
}

TEST_F(NewBitGrid, TextsAreRightAlignedWithAFourPixelMarginAndCentredVertically)
{
    const QFontMetrics Metrics(Grid.font());
    for (const auto& [ACol, ARow] : {std::pair{0, 1}, std::pair{3, 1}, std::pair{3, 0}}) {
        const QRect Cell = Grid.CellRect(ACol, ARow);
        const TCellText Written = At(ACol, ARow);
        EXPECT_EQ(Written.DX, Cell.width() - Metrics.horizontalAdvance(Written.Text) - 4) << ACol << ARow;
        const int Top = Cell.y(), Bottom = Cell.y() + Cell.height();
        EXPECT_EQ(Cell.y() + Written.DY, (Top + Bottom - Metrics.height()) / 2) << ACol << ARow;
    }
}

TEST_F(NewBitGrid, ThePublishedPropertiesReadTheirDefaultsAndWriteThroughTheSetters)
{
    EXPECT_EQ(Grid.property("DataCols").toInt(), 8);
    EXPECT_EQ(Grid.property("DataRows").toInt(), 1);
    EXPECT_EQ(Grid.property("FixedCols").toInt(), 1);
    EXPECT_EQ(Grid.property("FixedRows").toInt(), 1);
    EXPECT_EQ(Grid.property("ReadOnly").toBool(), false);
    EXPECT_EQ(Grid.property("DblClickInvertsData").toBool(), true);
    EXPECT_EQ(Grid.property("WordAddressTitleOffset").toInt(), 0);
    EXPECT_EQ(Grid.property("Keys1").toString(), "1Yy");

    ASSERT_TRUE(Grid.setProperty("FixedCols", 2));
    EXPECT_EQ(Grid.ColCount(), 10);
    ASSERT_TRUE(Grid.setProperty("DataRows", 0));
    EXPECT_EQ(Grid.DataRows(), 1);
    ASSERT_TRUE(Grid.setProperty("Text1", "#"));
    Grid.SetDataWords(0, 1);
    Paint();
    EXPECT_EQ(Text(9, 1), "#");
}

TEST(BitGridRegistration, RegisterOffersTheGridOnThePalettePageZQ)
{
    ZQBitGrid::Register();
    int Found = 0;
    for (const TRegisteredComponent& Entry : RegisteredComponents())
        if (Entry.Class().ClassName() == "ZQ::TZQBitGrid") {
            ++Found;
            EXPECT_EQ(Entry.Page(), "ZQ");
            EXPECT_EQ(Entry.Class().IncludeFile(), "zq/ZQBitGrid.h");
            QWidget Parent;
            auto* Made = qobject_cast<TZQBitGrid*>(Entry.Class().Create(&Parent));
            ASSERT_NE(Made, nullptr);
            EXPECT_EQ(Made->parent(), &Parent);
            EXPECT_EQ(Made->ColCount(), 9);
        }
    EXPECT_EQ(Found, 1);
}

// Addresses ----------------------------------------------------------------------------------------

TEST_F(BitGridAddresses, TheOffsetIsAddedAndShownAsEightUpperCaseHexDigits)
{
    Grid.SetDataRows(2);
    Grid.SetWordAddressTitleOffset(16);
    Paint();
    EXPECT_EQ(Text(0, 1), "00000010");
    EXPECT_EQ(Text(0, 2), "00000011");
    Grid.SetWordAddressTitleOffset(0xAB);
    Paint();
    EXPECT_EQ(Text(0, 1), "000000AB");
    EXPECT_EQ(Text(0, 2), "000000AC");
}

TEST_F(BitGridAddresses, TheSumWrapsAroundAt32Bits)
{
    Grid.SetDataRows(2);
    Grid.SetWordAddressTitleOffset(-1);
    Paint();
    EXPECT_EQ(Text(0, 1), "FFFFFFFF");
    EXPECT_EQ(Text(0, 2), "00000000");
    Grid.SetWordAddressTitleOffset(INT_MAX);
    Paint();
    EXPECT_EQ(Text(0, 1), "7FFFFFFF");
    EXPECT_EQ(Text(0, 2), "80000000");
}

TEST_F(BitGridAddresses, AChangeRepaintsColumnZeroAloneAndOnlyWhileAnAddressIsShown)
{
    Grid.SetWordAddressTitleOffset(16);
    EXPECT_EQ(Form.Log, QStringList{Rect(ColArea(0))});

    Form.Log.clear();
    Grid.SetWordAddressTitleOffset(16);
    EXPECT_EQ(Form.Log, QStringList());

    Grid.SetDefaultDrawing(false);
    Form.Log.clear();
    Grid.SetWordAddressTitleOffset(32);
    EXPECT_EQ(Form.Log, QStringList());

    Grid.SetDefaultDrawing(true);
    Grid.SetFixedCols(0);
    Form.Log.clear();
    Grid.SetWordAddressTitleOffset(48);
    EXPECT_EQ(Form.Log, QStringList());
    Paint();
    EXPECT_EQ(Text(0, 1), "0") << "column 0 shows a bit, not the address";
}

// Fixed counts -------------------------------------------------------------------------------------

TEST_F(BitGridFixedCounts, ASecondFixedColumnMovesTheBitsRightWithTheirNumbersAndBack)
{
    Grid.SetDataWords(0, 0x81);
    Grid.SetFixedCols(2);
    EXPECT_EQ(Grid.ColCount(), 10);
    EXPECT_EQ(Grid.DataCols(), 8);
    Paint();
    EXPECT_EQ(Text(1, 0), "");
    EXPECT_EQ(Text(1, 1), "");
    EXPECT_EQ(RowTexts(0, 2), Numbers(7, 0));
    EXPECT_EQ(RowTexts(1, 2), QStringList({"1", "0", "0", "0", "0", "0", "0", "1"}));
    EXPECT_EQ(Text(0, 1), "00000000");

    Grid.SetFixedCols(1);
    EXPECT_EQ(Grid.ColCount(), 9);
    Paint();
    EXPECT_EQ(RowTexts(0, 1), Numbers(7, 0));
    EXPECT_EQ(RowTexts(1, 1), QStringList({"1", "0", "0", "0", "0", "0", "0", "1"}));
}

TEST_F(BitGridFixedCounts, TheFixedCountMayGrowBeyondTheDataCount)
{
    Grid.SetDataCols(2);
    Grid.SetDataWords(0, 0x2);
    Grid.SetFixedCols(5);
    EXPECT_EQ(Grid.ColCount(), 7);
    Paint();
    EXPECT_EQ(RowTexts(0, 1), QStringList({"", "", "", "", "1", "0"}));
    EXPECT_EQ(RowTexts(1, 1), QStringList({"", "", "", "", "1", "0"}));
}

TEST_F(BitGridFixedCounts, WithoutAFixedColumnColumnZeroShowsTheHighestBitAndNoAddress)
{
    Grid.SetDataWords(0, 0x80);
    Grid.SetFixedCols(0);
    EXPECT_EQ(Grid.ColCount(), 8);
    Paint();
    EXPECT_EQ(RowTexts(0), Numbers(7, 0));
    EXPECT_EQ(RowTexts(1), QStringList({"1", "0", "0", "0", "0", "0", "0", "0"}));
}

TEST_F(BitGridFixedCounts, FixedRowsMoveTheWordsDownAndUpKeepingEveryBit)
{
    Grid.SetDataRows(2);
    Grid.SetDataWords(0, 0x01);
    Grid.SetDataWords(1, 0x02);
    const QStringList Word0{"0", "0", "0", "0", "0", "0", "0", "1"};
    const QStringList Word1{"0", "0", "0", "0", "0", "0", "1", "0"};

    Grid.SetFixedRows(0);
    EXPECT_EQ(Grid.RowCount(), 2);
    Paint();
    EXPECT_EQ(Text(0, 0), "00000000");
    EXPECT_EQ(RowTexts(0, 1), Word0);
    EXPECT_EQ(RowTexts(1, 1), Word1);

    Grid.SetFixedRows(2);
    EXPECT_EQ(Grid.RowCount(), 4);
    Paint();
    EXPECT_EQ(RowTexts(0, 1), Numbers(7, 0));
    EXPECT_EQ(RowTexts(1), Repeated("", 9));
    EXPECT_EQ(Text(0, 2), "00000000");
    EXPECT_EQ(RowTexts(2, 1), Word0);
    EXPECT_EQ(RowTexts(3, 1), Word1);
    EXPECT_EQ(Grid.DataRows(), 2);
}

TEST_F(BitGridFixedCounts, AFixedCountThatCannotStayBelowItsTotalIsRefusedUnchanged)
{
    EXPECT_THROW(Grid.SetFixedCols(-1), EInvalidGridOperation);
    EXPECT_THROW(Grid.SetFixedCols(INT_MAX), EInvalidGridOperation);
    EXPECT_THROW(Grid.SetFixedRows(-1), EInvalidGridOperation);
    EXPECT_THROW(Grid.SetFixedRows(INT_MAX), EInvalidGridOperation);
    EXPECT_EQ(Grid.ColCount(), 9);
    EXPECT_EQ(Grid.GetFixedCols(), 1);
    EXPECT_EQ(Grid.RowCount(), 2);
    EXPECT_EQ(Grid.GetFixedRows(), 1);
}

// The word array -----------------------------------------------------------------------------------

TEST_F(BitGridWords, GrowingKeepsTheFirstWordsAndNewWordsStartAtZero)
{
    Grid.SetDataWords(0, 0x1234);
    Grid.SetDataRows(4);
    EXPECT_EQ(Grid.RowCount(), 5);
    EXPECT_EQ(Grid.GetDataWords(0), 0x1234);
    for (int Row = 1; Row < 4; ++Row)
        EXPECT_EQ(Grid.GetDataWords(Row), 0) << Row;

    for (int Row = 1; Row < 4; ++Row)
        Grid.SetDataWords(Row, Row + 6);
    Grid.SetDataRows(2);
    EXPECT_EQ(Grid.RowCount(), 3);
    Grid.SetDataRows(4);
    EXPECT_EQ(Grid.GetDataWords(0), 0x1234);
    EXPECT_EQ(Grid.GetDataWords(1), 7);
    EXPECT_EQ(Grid.GetDataWords(2), 0);
    EXPECT_EQ(Grid.GetDataWords(3), 0);
}

TEST_F(BitGridWords, CountsBelowOneAreRaisedToOne)
{
    Grid.SetDataRows(3);
    Grid.SetDataWords(0, 5);
    Grid.SetDataRows(0);
    EXPECT_EQ(Grid.DataRows(), 1);
    EXPECT_EQ(Grid.RowCount(), 2);
    EXPECT_EQ(Grid.GetFixedRows(), 1);
    EXPECT_EQ(Grid.GetDataWords(0), 5);
    Grid.SetDataRows(-5);
    EXPECT_EQ(Grid.DataRows(), 1);

    Grid.SetDataCols(0);
    EXPECT_EQ(Grid.DataCols(), 1);
    EXPECT_EQ(Grid.ColCount(), 2);
    EXPECT_EQ(Grid.GetFixedCols(), 1);
    Grid.SetDataCols(INT_MIN);
    EXPECT_EQ(Grid.DataCols(), 1);
    Paint();
    EXPECT_EQ(Text(1, 0), "0");
    EXPECT_EQ(Text(1, 1), "1");
}

// The address-space limit that makes the allocation fail is POSIX's.
#ifndef _WIN32
TEST_F(BitGridWords, AWordArrayThatCannotGrowLeavesTheGridAsItWas)
{
#if defined(__SANITIZE_ADDRESS__) || ZQ_HAS_ADDRESS_SANITIZER
    GTEST_SKIP() << "under AddressSanitizer a failed allocation aborts instead of throwing, and its shadow "
                    "memory does not fit a tight address-space limit";
#endif
    Grid.SetDataRows(4);
    Grid.SetDataWords(3, 42);
    Form.Log.clear();

    // Room for the test, not for a gigabyte of words.
    long Pages = 0;
    FILE* Statm = std::fopen("/proc/self/statm", "r");
    ASSERT_NE(Statm, nullptr);
    ASSERT_EQ(std::fscanf(Statm, "%ld", &Pages), 1);
    std::fclose(Statm);
    rlimit Old{};
    ASSERT_EQ(getrlimit(RLIMIT_AS, &Old), 0);
    rlimit Tight = Old;
    Tight.rlim_cur = rlim_t(Pages) * sysconf(_SC_PAGESIZE) + (rlim_t(256) << 20);
    ASSERT_EQ(setrlimit(RLIMIT_AS, &Tight), 0);
    bool Refused = false;
    try {
        Grid.SetDataRows(1 << 28);
    } catch (const std::bad_alloc&) {
        Refused = true;
    }
    setrlimit(RLIMIT_AS, &Old);

    EXPECT_TRUE(Refused);
    EXPECT_EQ(Grid.DataRows(), 4);
    EXPECT_EQ(Grid.RowCount(), 5);
    EXPECT_EQ(Grid.GetDataWords(3), 42);
    EXPECT_EQ(Form.Log, QStringList());
    Grid.SetDataRows(5);
    EXPECT_EQ(Grid.GetDataWords(4), 0);
}
#endif

TEST_F(BitGridWords, ANewWordRepaintsItsRowAndIsReportedAsAWholeWord)
{
    Grid.SetDataRows(2);
    Grid.SetOnCellDataChanged(ZQ::TCellDataChangedEvent(&Form, &THandlers::CellDataChanged));
    ConnectSignals();
    Form.Log.clear();
    Grid.SetDataWords(1, 0x0F);
    EXPECT_EQ(Form.Log, QStringList({Rect(RowArea(2)), "changed -1 2", "signal -1 2"}));
    Paint();
    EXPECT_EQ(RowTexts(2, 1), QStringList({"0", "0", "0", "0", "1", "1", "1", "1"}));

    Form.Log.clear();
    Grid.SetDataWords(1, 0x0F);
    EXPECT_EQ(Form.Log, QStringList());
}

TEST_F(BitGridWords, TheWordsStayTheGridsOwnWhileAHandlerHoldsTheShownBits)
{
    InstallHandlers();
    Form.Bits[{0, 0}] = true;
    Grid.SetDataWords(0, 0xF0);
    EXPECT_EQ(Grid.GetDataWords(0), 0xF0);
    EXPECT_EQ(Form.Count("fetch"), 0);
    EXPECT_EQ(Form.Count("store"), 0);
    Paint();
    EXPECT_EQ(RowTexts(1, 1), QStringList({"0", "0", "0", "0", "0", "0", "0", "1"}));

    Grid.SetOnExchangeData({});
    Paint();
    EXPECT_EQ(RowTexts(1, 1), QStringList({"1", "1", "1", "1", "0", "0", "0", "0"}));
}

TEST_F(BitGridWords, OnlyTheLowFiveBitsOfABitNumberCountWithoutAHandler)
{
    Grid.SetDataWords(0, int(0x80000005u));
    EXPECT_TRUE(Grid.GetDataBit(0, 31));
    EXPECT_TRUE(Grid.GetDataBit(0, 63));
    EXPECT_TRUE(Grid.GetDataBit(0, -1));
    EXPECT_TRUE(Grid.GetDataBit(0, 34));
    EXPECT_FALSE(Grid.GetDataBit(0, 33));

    Grid.SetDataBit(0, 33, true);
    EXPECT_EQ(Grid.GetDataWords(0), int(0x80000007u));
    Grid.SetDataBit(0, 31, false);
    EXPECT_EQ(Grid.GetDataWords(0), 7);
}

TEST_F(BitGridWords, FortyColumnsShowBitsZeroToSevenAgainBeyondBit31)
{
    Grid.SetClientSize(1100, 100);
    Grid.SetDataCols(40);
    Grid.SetDataWords(0, 0x05);
    Paint();
    const QStringList Low{"0", "0", "0", "0", "0", "1", "0", "1"};
    EXPECT_EQ(RowTexts(0, 1).mid(0, 8), Numbers(39, 32));
    EXPECT_EQ(RowTexts(1, 1).mid(0, 8), Low);
    EXPECT_EQ(RowTexts(1, 1).mid(32, 8), Low);
    EXPECT_EQ(RowTexts(1, 1).mid(8, 24), Repeated("0", 24));
}

// Range errors -------------------------------------------------------------------------------------

TEST_F(BitGridRangeErrors, ADataRowOutsideTheWordsIsRefusedBeforeAnythingHappens)
{
    Grid.SetDataRows(2);
    Grid.SetDataWords(0, 3);
    Grid.SetDataWords(1, 4);
    InstallHandlers();

    EXPECT_EQ(RangeErrorOf([&] { Grid.GetDataBit(-1, 0); }), DataRowOutOfBounds);
    EXPECT_EQ(RangeErrorOf([&] { Grid.GetDataBit(2, 0); }), DataRowOutOfBounds);
    EXPECT_EQ(RangeErrorOf([&] { Grid.SetDataBit(2, 0, true); }), DataRowOutOfBounds);
    EXPECT_EQ(RangeErrorOf([&] { Grid.GetDataWords(2); }), DataRowOutOfBounds);
    EXPECT_EQ(RangeErrorOf([&] { Grid.SetDataWords(-1, 5); }), DataRowOutOfBounds);
    EXPECT_EQ(RangeErrorOf([&] { Grid.CheckDataRowIndex(INT_MIN); }), DataRowOutOfBounds);
    EXPECT_EQ(Form.Log, QStringList()) << "no handler call, no repaint";
    EXPECT_EQ(Grid.GetDataWords(0), 3);
    EXPECT_EQ(Grid.GetDataWords(1), 4);

    EXPECT_NO_THROW(Grid.CheckDataRowIndex(0));
    EXPECT_NO_THROW(Grid.CheckDataRowIndex(1));
}

// The exchange handler -----------------------------------------------------------------------------

TEST_F(BitGridExchange, ANewBitIsFetchedThenStoredThenItsCellRepaintedThenReported)
{
    InstallHandlers();
    Grid.SetDataBit(0, 3, true);
    EXPECT_EQ(Form.Log, QStringList({"fetch 0 3 0", "store 0 3 1", Rect(Grid.CellRect(5, 1)), "changed 5 1"}));
    EXPECT_TRUE(Grid.GetDataBit(0, 3));
    EXPECT_EQ(Grid.GetDataWords(0), 0);
}

TEST_F(BitGridExchange, TheBitItAlreadyHasIsOnlyFetched)
{
    InstallHandlers();
    Form.Bits[{0, 3}] = true;
    Grid.SetDataBit(0, 3, true);
    EXPECT_EQ(Form.Log, QStringList({"fetch 0 3 0"}));

    Grid.SetOnExchangeData({});
    Form.Log.clear();
    Grid.SetDataBit(0, 3, false);
    EXPECT_EQ(Form.Log, QStringList());
}

TEST_F(BitGridExchange, PaintingFetchesEveryVisibleDataCellOnceAndStoresNothing)
{
    Grid.SetDataRows(3);
    InstallHandlers();
    Form.Bits[{2, 6}] = true;
    PaintLogged();
    std::multiset<std::pair<int, int>> Fetched;
    for (const QString& Entry : Form.Log.filter("fetch")) {
        const QStringList Parts = Entry.split(' ');
        Fetched.insert({Parts[1].toInt(), Parts[2].toInt()});
    }
    std::multiset<std::pair<int, int>> Visible;
    for (int DataRow = 0; DataRow < 3; ++DataRow)
        for (int BitNo = 0; BitNo < 8; ++BitNo)
            Visible.insert({DataRow, BitNo});
    EXPECT_EQ(Fetched, Visible);
    EXPECT_EQ(Form.Count("store"), 0);
    EXPECT_EQ(RowTexts(3, 1), QStringList({"0", "1", "0", "0", "0", "0", "0", "0"}));
}

TEST_F(BitGridExchange, ScrolledPaintingFetchesOnlyTheRowsInView)
{
    Grid.SetDataRows(1 << 20);
    Grid.SetTopRow(1 + 500000);
    InstallHandlers();
    PaintLogged();
    const int Rows = Grid.VisibleRowCount();
    ASSERT_GT(Rows, 0);
    // A partly visible last row is painted too.
    EXPECT_GE(Form.Count("fetch"), Rows * 8);
    EXPECT_LE(Form.Count("fetch"), (Rows + 1) * 8);
    EXPECT_EQ(Form.Count("fetch 500000 7 "), 1);
    EXPECT_EQ(Form.Count("fetch 499999 "), 0);
    EXPECT_EQ(Text(0, 1 + 500000), "0007A120");
}

TEST_F(BitGridExchange, WithAHandlerBitNumbersBeyond31ReachItUnchanged)
{
    Grid.SetClientSize(1100, 100);
    Grid.SetDataCols(40);
    InstallHandlers();
    Form.Bits[{0, 35}] = true;
    PaintLogged();
    std::set<int> BitNos;
    for (const QString& Entry : Form.Log.filter("fetch"))
        BitNos.insert(Entry.split(' ')[2].toInt());
    EXPECT_EQ(BitNos.size(), 40u);
    EXPECT_EQ(*BitNos.begin(), 0);
    EXPECT_EQ(*BitNos.rbegin(), 39);
    EXPECT_EQ(Text(1 + 39 - 35, 1), "1");
    EXPECT_EQ(Text(1 + 39 - 3, 1), "0");

    Grid.SetDataBit(0, 38, true);
    EXPECT_EQ(Form.Bits.value({0, 38}), true);
    EXPECT_EQ(Form.Bits.value({0, 6}), false);
}

TEST_F(BitGridExchange, AFailingStoreLeavesTheCellUnpaintedAndUnreported)
{
    InstallHandlers();
    Form.ThrowOnStore = true;
    EXPECT_THROW(Grid.SetDataBit(0, 3, true), std::runtime_error);
    EXPECT_EQ(Form.Log, QStringList({"fetch 0 3 0", "store 0 3 1"}));
}

TEST_F(BitGridExchange, InstallingReplacingOrRemovingAHandlerRepaintsAllAndCopiesNothing)
{
    Grid.SetDataWords(0, 0xFF);
    Form.Log.clear();
    Grid.SetOnExchangeData(ZQ::TExchangeDataEvent(&Form, &THandlers::ExchangeData));
    EXPECT_EQ(Form.Log, QStringList{Rect(Whole())});

    Form.Log.clear();
    Grid.SetOnExchangeData(ZQ::TExchangeDataEvent(&Form, &THandlers::ExchangeData));
    EXPECT_EQ(Form.Log, QStringList());

    THandlers Other;
    Grid.SetOnExchangeData(ZQ::TExchangeDataEvent(&Other, &THandlers::ExchangeData));
    EXPECT_EQ(Form.Log, QStringList{Rect(Whole())});
    EXPECT_TRUE(Other.Bits.isEmpty());

    Form.Log.clear();
    Grid.SetOnExchangeData({});
    EXPECT_EQ(Form.Log, QStringList{Rect(Whole())});
    EXPECT_EQ(Grid.GetDataWords(0), 0xFF);
}

// Keys ---------------------------------------------------------------------------------------------

TEST_F(BitGridKeys, TheInitialKeysSetAndClearTheCurrentBitWhichStaysCurrent)
{
    Grid.SetCol(3);
    const auto Type = [&](char Character) {
        QChar Key = QLatin1Char(Character);
        Grid.KeyPress(Key);
        return Grid.GetDataBit(0, 5);
    };
    EXPECT_TRUE(Type('y'));
    EXPECT_FALSE(Type('N'));
    EXPECT_TRUE(Type('Y'));
    EXPECT_FALSE(Type('n'));
    EXPECT_TRUE(Type('1'));
    EXPECT_FALSE(Type('0'));
    EXPECT_EQ(Grid.GetDataWords(0), 0);
    EXPECT_EQ(Grid.Col(), 3);
    EXPECT_EQ(Grid.Row(), 1);

    Type('y');
    Form.Log.clear();
    EXPECT_TRUE(Type('x'));
    EXPECT_EQ(Form.Log, QStringList());
}

TEST_F(BitGridKeys, ATypedKeyReportsItsCell)
{
    Grid.SetDataRows(3);
    ConnectSignals();
    Grid.SetRow(3);
    Grid.SetCol(8);
    EXPECT_EQ(Form.Log.filter("current"), QStringList({"current 1 3", "current 8 3"}));
    InstallHandlers();
    QChar Key = u'y';
    Grid.KeyPress(Key);
    EXPECT_EQ(Form.Log, QStringList({"fetch 2 0 0", "store 2 0 1", Rect(Grid.CellRect(8, 3)), "changed 8 3", "signal 8 3"}));
    // Typing the bit it has changes nothing and says nothing.
    Form.Log.clear();
    Grid.KeyPress(Key = u'y');
    EXPECT_EQ(Form.Log.filter("signal"), QStringList());
}

TEST_F(BitGridKeys, EnterAndReadOnlyChangeNothing)
{
    Grid.SetKeys1(QStringLiteral("\r1y"));
    QChar Enter = u'\r';
    Grid.KeyPress(Enter);
    EXPECT_FALSE(Grid.GetDataBit(0, 7));

    Grid.SetReadOnly(true);
    QChar Y = u'y';
    Grid.KeyPress(Y);
    EXPECT_FALSE(Grid.GetDataBit(0, 7));
    Grid.SetReadOnly(false);
    Grid.KeyPress(Y);
    EXPECT_TRUE(Grid.GetDataBit(0, 7));
}

TEST_F(BitGridKeys, Keys1IsTriedFirstAndTheComparisonIsCaseSensitive)
{
    Grid.SetKeys0(QStringLiteral("aA"));
    Grid.SetKeys1(QStringLiteral("a"));
    QChar Key = u'a';
    Grid.KeyPress(Key);
    EXPECT_TRUE(Grid.GetDataBit(0, 7));
    Key = u'A';
    Grid.KeyPress(Key);
    EXPECT_FALSE(Grid.GetDataBit(0, 7));

    Grid.SetKeys0(QString());
    Grid.SetKeys1(QStringLiteral("q"));
    Key = u'Q';
    Grid.KeyPress(Key);
    EXPECT_FALSE(Grid.GetDataBit(0, 7));
}

TEST_F(BitGridKeys, TheKeyCountsAsOnKeyPressLeftIt)
{
    Grid.SetOnKeyPress(TKeyPressEvent(&Form, &THandlers::KeyPressed));
    Form.KeyReplacement = u'y';
    QChar Key = u'z';
    Grid.KeyPress(Key);
    EXPECT_TRUE(Grid.GetDataBit(0, 7));

    Form.KeyReplacement = QChar(0);
    Grid.SetKeys0(QString(QChar(0)) + "n");
    Key = u'n';
    Grid.KeyPress(Key);
    EXPECT_TRUE(Grid.GetDataBit(0, 7)) << "a consumed key is no character";
}

TEST_F(BitGridKeys, ATypedKeyArrivesThroughTheKeyboard)
{
    Grid.activateWindow();
    Grid.setFocus();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Grid));
    Grid.SetCol(4);
    QTest::keyClick(static_cast<QWidget*>(&Grid), 'y');
    EXPECT_TRUE(Grid.GetDataBit(0, 4));
    QTest::keyClick(static_cast<QWidget*>(&Grid), 'N');
    EXPECT_FALSE(Grid.GetDataBit(0, 4));
}

// Double-click -------------------------------------------------------------------------------------

TEST_F(BitGridDoubleClick, ADoubleClickOnADataCellInvertsItsBitThenFiresOnDblClick)
{
    Grid.SetOnDblClick(TNotifyEvent(&Form, &THandlers::DblClicked));
    Grid.SetOnCellDataChanged(ZQ::TCellDataChangedEvent(&Form, &THandlers::CellDataChanged));
    Form.Log.clear();
    DoubleClickAt(Grid.CellRect(4, 1).center());
    EXPECT_TRUE(Grid.GetDataBit(0, 4));
    EXPECT_EQ(Form.Log, QStringList({Rect(Grid.CellRect(4, 1)), "changed 4 1", "dblclick"}));
    DoubleClickAt(Grid.CellRect(4, 1).topLeft());
    EXPECT_FALSE(Grid.GetDataBit(0, 4));
}

TEST_F(BitGridDoubleClick, AMouseDoubleClickReachesIt)
{
    const QPoint Point = Grid.CellRect(6, 1).center();
    QCursor::setPos(Grid.viewport()->mapToGlobal(Point));
    QTest::mouseDClick(Grid.viewport(), Qt::LeftButton, Qt::NoModifier, Point);
    EXPECT_TRUE(Grid.GetDataBit(0, 2));
}

TEST_F(BitGridDoubleClick, OnAFixedCellOrBesideTheCellsNothingChangesAndOnDblClickStillFires)
{
    Grid.SetOnDblClick(TNotifyEvent(&Form, &THandlers::DblClicked));
    Form.Log.clear();
    DoubleClickAt(Grid.CellRect(0, 1).center());
    DoubleClickAt(Grid.CellRect(4, 0).center());
    const QRect Last = Grid.CellRect(8, 1);
    DoubleClickAt(QPoint(Last.right() + 20, Last.center().y()));
    DoubleClickAt(QPoint(Last.center().x(), Last.bottom() + 20));
    EXPECT_EQ(Form.Log, Repeated("dblclick", 4));
    EXPECT_EQ(Grid.GetDataWords(0), 0);
}

TEST_F(BitGridDoubleClick, NothingIsInvertedWhenNotAskedOrReadOnly)
{
    Grid.SetOnDblClick(TNotifyEvent(&Form, &THandlers::DblClicked));
    const QPoint Cell = Grid.CellRect(4, 1).center();
    Grid.SetDblClickInvertsData(false);
    Form.Log.clear();
    DoubleClickAt(Cell);
    Grid.SetDblClickInvertsData(true);
    Grid.SetReadOnly(true);
    DoubleClickAt(Cell);
    EXPECT_EQ(Grid.GetDataWords(0), 0);
    EXPECT_EQ(Form.Log, Repeated("dblclick", 2));
}

// Selecting a cell ---------------------------------------------------------------------------------

TEST_F(BitGridSelection, OnSelectCellIsAskedAndMayKeepTheCurrentCell)
{
    Grid.SetOnSelectCell(TSelectCellEvent(&Form, &THandlers::SelectCell));
    Form.RefusedCol = 3;
    Form.Log.clear();
    Grid.SetCol(3);
    EXPECT_EQ(Grid.Col(), 1);
    Grid.SetCol(4);
    EXPECT_EQ(Grid.Col(), 4);
    EXPECT_EQ(Form.Log.filter("select"), QStringList({"select 3 1", "select 4 1"}));
}

// Drawing ------------------------------------------------------------------------------------------

TEST_F(BitGridDrawing, OnDrawCellRunsAfterEachCellsText)
{
    Grid.SetOnDrawCell(TDrawCellEvent(&Form, &THandlers::DrawCell));
    PaintLogged();
    const QRect Data = Grid.CellRect(2, 1);
    const int Written = int(Form.Log.indexOf(QStringLiteral("text %1,%2").arg(Data.x()).arg(Data.y())));
    ASSERT_GE(Written, 0);
    EXPECT_EQ(Form.Log.value(Written + 1), "draw 2 1");
    EXPECT_EQ(Form.Count("draw"), 18);
}

TEST_F(BitGridDrawing, WithDefaultDrawingOffNoTextIsWrittenAndOnDrawCellStillRuns)
{
    Grid.SetOnDrawCell(TDrawCellEvent(&Form, &THandlers::DrawCell));
    InstallHandlers();
    Grid.SetDefaultDrawing(false);
    PaintLogged();
    EXPECT_TRUE(Texts.isEmpty());
    EXPECT_EQ(Form.Count("fetch"), 0);
    EXPECT_EQ(Form.Count("draw"), 18);
    EXPECT_TRUE(Form.Log.contains("draw 0 0 fixed"));
    EXPECT_TRUE(Form.Log.contains("draw 0 1 fixed"));
    EXPECT_TRUE(Form.Log.contains("draw 8 0 fixed"));
    EXPECT_TRUE(Form.Log.contains("draw 8 1"));
}

TEST_F(BitGridDrawing, Text0AndText1AreWhatADataCellShows)
{
    Grid.SetDataWords(0, 0x0F);
    Form.Log.clear();
    Grid.SetText0(QStringLiteral("."));
    Grid.SetText1(QStringLiteral("##"));
    EXPECT_EQ(Repaints(), Repeated(Rect(Whole()), 2));
    Paint();
    EXPECT_EQ(RowTexts(1, 1), QStringList({".", ".", ".", ".", "##", "##", "##", "##"}));
    EXPECT_EQ(RowTexts(0, 1), Numbers(7, 0));

    Grid.SetText0(QString());
    Paint();
    EXPECT_EQ(Text(1, 1), "");
    EXPECT_TRUE(At(1, 1).Written) << "an empty text still fills its cell";
}

// Repainting ---------------------------------------------------------------------------------------

TEST_F(BitGridRepaint, ABitRepaintsItsOneCell)
{
    Grid.SetDataRows(2);
    Form.Log.clear();
    Grid.SetDataBit(1, 0, true);
    EXPECT_EQ(Form.Log, QStringList{Rect(Grid.CellRect(8, 2))});
    Grid.SetFixedCols(0);
    Form.Log.clear();
    Grid.SetDataBit(1, 7, true);
    EXPECT_EQ(Form.Log, QStringList{Rect(Grid.CellRect(0, 2))});
}

TEST_F(BitGridRepaint, AFixedCountOrDataColsRepaintsTheWholeControl)
{
    Grid.SetDataCols(4);
    EXPECT_TRUE(Repaints().contains(Rect(Whole())));
    Form.Log.clear();
    Grid.SetFixedCols(2);
    EXPECT_TRUE(Repaints().contains(Rect(Whole())));
    Form.Log.clear();
    Grid.SetFixedRows(0);
    EXPECT_TRUE(Repaints().contains(Rect(Whole())));
}

TEST_F(BitGridRepaint, SettingWhatIsAlreadySetRepaintsNothing)
{
    Grid.SetDataCols(8);
    Grid.SetDataRows(1);
    Grid.SetFixedCols(1);
    Grid.SetFixedRows(1);
    Grid.SetText0(QStringLiteral("0"));
    Grid.SetText1(QStringLiteral("1"));
    Grid.SetWordAddressTitleOffset(0);
    Grid.SetOnExchangeData({});
    Grid.SetDataWords(0, 0);
    Grid.SetDataBit(0, 0, false);
    EXPECT_EQ(Form.Log, QStringList());
}
