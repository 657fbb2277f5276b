#include "components/ZQBitGrid.h"

#include "framework/Exceptions.h"
#include "framework/Registry.h"
#include "framework/StringTable.h"

#include <QCursor>
#include <QEvent>
#include <QFontMetrics>

#include <algorithm>
#include <climits>

using namespace Exceptions;

namespace ZQ {

namespace {

// The component's own text: it ships with the component library, not in the executable's table.
const char* const SDataRowIndexOutOfBounds = "TZQBitGrid: data row index out of bounds";

const char* const PalettePage = "ZQ";

constexpr int InitialDataCols = 8;
constexpr int InitialDataRows = 1;
constexpr int BitColWidth = 24;
constexpr int AddressColWidth = 64; // eight hexadecimal digits in the platform's font
constexpr int TextRightMargin = 4;
// The widest address, and the room left of it, as right of it.
const char* const WidestAddress = "FFFFFFFF";
constexpr int TextLeftMargin = 4;
constexpr int AddressDigits = 8;

// Only the low five bits of a bit number count: a word has 32 bits.
std::uint32_t BitMask(int BitNo)
{
    return std::uint32_t(1) << (BitNo & 31);
}

[[noreturn]] void FixedCountTooBig(TFrameworkString Message)
{
    throw EInvalidGridOperation(FrameworkString(Message));
}

} // namespace

TZQBitGrid::TZQBitGrid(QWidget* Owner) : TCustomGrid(Owner)
{
    SetDataCols(InitialDataCols);
    SetDataRows(InitialDataRows);
    SetText0(QStringLiteral("0"));
    SetText1(QStringLiteral("1"));
    FKeys0 = QStringLiteral("0Nn");
    FKeys1 = QStringLiteral("1Yy");
    SetDefaultColWidth(BitColWidth);
    FitAddressCol();
}

TZQBitGrid::~TZQBitGrid() = default;

// 64 pixels hold the address in the platform's font; a wider font gets a wider column. A width the
// program gave the column itself stays.
void TZQBitGrid::FitAddressCol()
{
    if (GetFixedCols() < 1 || (FAddressColWidth != 0 && ColWidths(0) != FAddressColWidth))
        return;
    const int Needed = TextLeftMargin + QFontMetrics(font()).horizontalAdvance(QString::fromLatin1(WidestAddress)) +
                       TextRightMargin;
    FAddressColWidth = std::max(AddressColWidth, Needed);
    SetColWidths(0, FAddressColWidth);
}

void TZQBitGrid::changeEvent(QEvent* Event)
{
    TCustomGrid::changeEvent(Event);
    if (Event->type() == QEvent::FontChange)
        FitAddressCol();
}

// Counts ------------------------------------------------------------------------------------------

void TZQBitGrid::SetDataCols(int Value)
{
    Value = std::clamp(Value, 1, INT_MAX - GetFixedCols());
    if (Value == FDataCols)
        return;
    FDataCols = Value;
    SetColCount(GetFixedCols() + Value);
    InvalidateGrid();
}

void TZQBitGrid::SetDataRows(int Value)
{
    Value = std::clamp(Value, 1, INT_MAX - GetFixedRows());
    if (Value == FDataRows)
        return;
    // Resizing first: when it fails nothing has changed. New words start at 0.
    FWords.resize(std::size_t(Value));
    FDataRows = Value;
    SetRowCount(GetFixedRows() + Value);
}

// Growing, the total grows first and shrinking, the fixed count shrinks first, so that the fixed
// count stays below the total throughout.
void TZQBitGrid::SetFixedCols(int Value)
{
    const int Old = GetFixedCols();
    if (Value > Old) {
        if (Value > INT_MAX - FDataCols)
            FixedCountTooBig(SFixedColTooBig);
        SetColCount(Value + FDataCols);
        TCustomGrid::SetFixedCols(Value);
    } else if (Value < Old) {
        TCustomGrid::SetFixedCols(Value);
        SetColCount(Value + FDataCols);
    }
}

void TZQBitGrid::SetFixedRows(int Value)
{
    const int Old = GetFixedRows();
    if (Value > Old) {
        if (Value > INT_MAX - FDataRows)
            FixedCountTooBig(SFixedRowTooBig);
        SetRowCount(Value + FDataRows);
        TCustomGrid::SetFixedRows(Value);
    } else if (Value < Old) {
        TCustomGrid::SetFixedRows(Value);
        SetRowCount(Value + FDataRows);
    }
}

// Looks -------------------------------------------------------------------------------------------

void TZQBitGrid::SetOnExchangeData(const TExchangeDataEvent& Value)
{
    if (Value == FOnExchangeData)
        return;
    FOnExchangeData = Value;
    InvalidateGrid();
}

void TZQBitGrid::SetText0(const QString& Value)
{
    if (Value == FText0)
        return;
    FText0 = Value;
    InvalidateGrid();
}

void TZQBitGrid::SetText1(const QString& Value)
{
    if (Value == FText1)
        return;
    FText1 = Value;
    InvalidateGrid();
}

void TZQBitGrid::SetWordAddressTitleOffset(int Value)
{
    if (Value == FWordAddressTitleOffset)
        return;
    FWordAddressTitleOffset = Value;
    if (DefaultDrawing() && GetFixedCols() > 0)
        InvalidateCol(0);
}

// Data --------------------------------------------------------------------------------------------

void TZQBitGrid::CheckDataRowIndex(int DataRow) const
{
    if (DataRow < 0 || DataRow >= FDataRows)
        throw ERangeError(QString::fromLatin1(SDataRowIndexOutOfBounds));
}

bool TZQBitGrid::GetDataBit(int DataRow, int BitNo)
{
    CheckDataRowIndex(DataRow);
    if (FOnExchangeData) {
        bool Value = false;
        FOnExchangeData(this, false, DataRow, BitNo, Value);
        return Value;
    }
    return std::uint32_t(FWords[DataRow]) & BitMask(BitNo);
}

void TZQBitGrid::SetDataBit(int DataRow, int BitNo, bool Value)
{
    if (GetDataBit(DataRow, BitNo) == Value)
        return;
    if (FOnExchangeData) {
        bool Stored = Value; // what the handler writes back is ignored
        FOnExchangeData(this, true, DataRow, BitNo, Stored);
    } else {
        const std::uint32_t Word = std::uint32_t(FWords[DataRow]);
        FWords[DataRow] = std::int32_t(Value ? Word | BitMask(BitNo) : Word & ~BitMask(BitNo));
    }
    int ARow, ACol;
    DataToCellCoord(DataRow, BitNo, ARow, ACol);
    InvalidateCell(ACol, ARow);
    if (OnCellDataChanged)
        OnCellDataChanged(this, ACol, ARow);
    emit cellDataChanged(ACol, ARow);
}

int TZQBitGrid::GetDataWords(int DataRow) const
{
    CheckDataRowIndex(DataRow);
    return FWords[DataRow];
}

void TZQBitGrid::SetDataWords(int DataRow, int Value)
{
    CheckDataRowIndex(DataRow);
    if (FWords[DataRow] == Value)
        return;
    FWords[DataRow] = Value;
    int ARow, ACol;
    DataToCellCoord(DataRow, 0, ARow, ACol);
    InvalidateRow(ARow);
    if (OnCellDataChanged)
        OnCellDataChanged(this, -1, ARow);
    emit cellDataChanged(-1, ARow);
}

// Unchecked coordinates wrap around at 32 bits instead of overflowing.
void TZQBitGrid::CellToDataCoord(int ARow, int ACol, int& DataRow, int& BitNo) const
{
    DataRow = int(std::uint32_t(ARow) - std::uint32_t(GetFixedRows()));
    BitNo = int(std::uint32_t(ColCount()) - 1u - std::uint32_t(ACol));
}

void TZQBitGrid::DataToCellCoord(int DataRow, int BitNo, int& ARow, int& ACol) const
{
    ARow = int(std::uint32_t(DataRow) + std::uint32_t(GetFixedRows()));
    ACol = int(std::uint32_t(ColCount()) - 1u - std::uint32_t(BitNo));
}

// Drawing -----------------------------------------------------------------------------------------

QString TZQBitGrid::CellText(int ACol, int ARow)
{
    int DataRow, BitNo;
    CellToDataCoord(ARow, ACol, DataRow, BitNo);
    const bool DataRowCell = ARow >= GetFixedRows();
    const bool DataColCell = ACol >= GetFixedCols();
    if (DataRowCell && DataColCell)
        return GetDataBit(DataRow, BitNo) ? FText1 : FText0;
    if (DataRowCell && ACol == 0)
        // The sum wraps at 32 bits, so a negative address shows as its two's complement.
        return QStringLiteral("%1")
            .arg(std::uint32_t(DataRow) + std::uint32_t(FWordAddressTitleOffset), AddressDigits, 16, QChar(u'0'))
            .toUpper();
    if (DataColCell && ARow == 0)
        return QString::number(BitNo);
    return QString();
}

void TZQBitGrid::DrawCell(int ACol, int ARow, const QRect& Rect, TGridDrawState State)
{
    if (DefaultDrawing()) {
        TGridCanvas& Cells = Canvas();
        const QString Text = CellText(ACol, ARow);
        const int Right = Rect.x() + Rect.width();
        const int Bottom = Rect.y() + Rect.height();
        const int X = Right - Cells.TextWidth(Text) - TextRightMargin;
        const int Y = (Rect.y() + Bottom - Cells.TextHeight(Text)) / 2;
        // Writing also fills the cell, so an empty text still gets its background.
        Cells.TextRect(Rect, X, Y, Text);
    }
    if (OnDrawCell)
        OnDrawCell(this, ACol, ARow, Rect, State);
}

// The user ----------------------------------------------------------------------------------------

bool TZQBitGrid::SelectCell(int ACol, int ARow)
{
    bool CanSelect = true;
    if (OnSelectCell)
        OnSelectCell(this, ACol, ARow, CanSelect);
    return CanSelect;
}

void TZQBitGrid::KeyPress(QChar& Key)
{
    TCustomGrid::KeyPress(Key);
    // A consumed key is 0 and must match nothing.
    if (FReadOnly || Key.isNull())
        return;
    bool Value;
    if (FKeys1.contains(Key))
        Value = true; // tried first: a character in both strings sets the bit
    else if (FKeys0.contains(Key))
        Value = false;
    else
        return;
    int DataRow, BitNo;
    CellToDataCoord(Row(), Col(), DataRow, BitNo);
    SetDataBit(DataRow, BitNo, Value);
}

void TZQBitGrid::DblClick()
{
    if (!FReadOnly && FDblClickInvertsData) {
        const QPoint At = viewport()->mapFromGlobal(QCursor::pos());
        const TGridCoord Cell = MouseCoord(At.x(), At.y());
        if (Cell.Y >= GetFixedRows() && Cell.X >= GetFixedCols()) {
            int DataRow, BitNo;
            CellToDataCoord(Cell.Y, Cell.X, DataRow, BitNo);
            SetDataBit(DataRow, BitNo, !GetDataBit(DataRow, BitNo));
        }
    }
    TCustomGrid::DblClick();
}

} // namespace ZQ

void ZQBitGrid::Register()
{
    RegisterComponents(QString::fromLatin1(ZQ::PalettePage),
                       {QStringLiteral("ZQ::TZQBitGrid"), QStringLiteral("zq/ZQBitGrid.h"),
                        [](QWidget* Parent) -> QWidget* { return new ZQ::TZQBitGrid(Parent); },
                        QStringLiteral("Shows data words bit by bit and lets the user set, clear and invert bits")});
}
