#include "components/ZQBitGrid.h"
#include "components/ZQBitGrid_p.h"

#include "framework/Exceptions.h"
#include "framework/GridAccessible_p.h"
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

TZQBitGrid::TZQBitGrid(QWidget* Owner) : TCustomGrid(Owner), d(std::make_unique<TZQBitGridPrivate>())
{
    SetDataCols(InitialDataCols);
    SetDataRows(InitialDataRows);
    SetText0(QStringLiteral("0"));
    SetText1(QStringLiteral("1"));
    d->FKeys0 = QStringLiteral("0Nn");
    d->FKeys1 = QStringLiteral("1Yy");
    SetDefaultColWidth(BitColWidth);
    FitAddressCol();
}

TZQBitGrid::~TZQBitGrid() = default;

void TZQBitGrid::virtual_hook(int Id, void* Data)
{
    if (Id == CellTextHook) {
        auto& Query = *static_cast<TCellTextQuery*>(Data);
        Query.Text = CellText(Query.ACol, Query.ARow);
        return;
    }
    if (Id == TextMarginsHook) {
        auto& Query = *static_cast<TTextMarginsQuery*>(Data);
        Query.Left = TextLeftMargin;
        Query.Right = TextRightMargin;
        return;
    }
    TCustomGrid::virtual_hook(Id, Data);
}

// 64 pixels hold the address in the platform's font; a wider font gets a wider column. A width the
// program gave the column itself stays.
void TZQBitGrid::FitAddressCol()
{
    if (GetFixedCols() < 1 || (d->FAddressColWidth != 0 && ColWidths(0) != d->FAddressColWidth))
        return;
    const int Needed = TextLeftMargin + QFontMetrics(font()).horizontalAdvance(QString::fromLatin1(WidestAddress)) +
                       TextRightMargin;
    d->FAddressColWidth = std::max(AddressColWidth, Needed);
    SetColWidths(0, d->FAddressColWidth);
}

void TZQBitGrid::changeEvent(QEvent* Event)
{
    TCustomGrid::changeEvent(Event);
    if (Event->type() == QEvent::FontChange)
        FitAddressCol();
}

// Counts ------------------------------------------------------------------------------------------

int TZQBitGrid::DataCols() const
{
    return d->FDataCols;
}

int TZQBitGrid::DataRows() const
{
    return d->FDataRows;
}

int TZQBitGrid::GetFixedCols() const
{
    return TCustomGrid::FixedCols();
}

int TZQBitGrid::GetFixedRows() const
{
    return TCustomGrid::FixedRows();
}

void TZQBitGrid::SetDataCols(int Value)
{
    Value = std::clamp(Value, 1, INT_MAX - GetFixedCols());
    if (Value == d->FDataCols)
        return;
    d->FDataCols = Value;
    SetColCount(GetFixedCols() + Value);
    InvalidateGrid();
    // Bits are numbered from the right: every column now shows another bit.
    GridAccessibility::Reset(*this);
}

void TZQBitGrid::SetDataRows(int Value)
{
    Value = std::clamp(Value, 1, INT_MAX - GetFixedRows());
    if (Value == d->FDataRows)
        return;
    // Resizing first: when it fails nothing has changed. New words start at 0.
    d->FWords.resize(std::size_t(Value));
    d->FDataRows = Value;
    SetRowCount(GetFixedRows() + Value);
}

// Growing, the total grows first and shrinking, the fixed count shrinks first, so that the fixed
// count stays below the total throughout.
void TZQBitGrid::SetFixedCols(int Value)
{
    const int Old = GetFixedCols();
    if (Value > Old) {
        if (Value > INT_MAX - d->FDataCols)
            FixedCountTooBig(SFixedColTooBig);
        SetColCount(Value + d->FDataCols);
        TCustomGrid::SetFixedCols(Value);
    } else if (Value < Old) {
        TCustomGrid::SetFixedCols(Value);
        SetColCount(Value + d->FDataCols);
    }
}

void TZQBitGrid::SetFixedRows(int Value)
{
    const int Old = GetFixedRows();
    if (Value > Old) {
        if (Value > INT_MAX - d->FDataRows)
            FixedCountTooBig(SFixedRowTooBig);
        SetRowCount(Value + d->FDataRows);
        TCustomGrid::SetFixedRows(Value);
    } else if (Value < Old) {
        TCustomGrid::SetFixedRows(Value);
        SetRowCount(Value + d->FDataRows);
    }
}

// Looks -------------------------------------------------------------------------------------------

const TExchangeDataEvent& TZQBitGrid::OnExchangeData() const
{
    return d->FOnExchangeData;
}

void TZQBitGrid::SetOnExchangeData(const TExchangeDataEvent& Value)
{
    if (Value == d->FOnExchangeData)
        return;
    d->FOnExchangeData = Value;
    InvalidateGrid();
}

QString TZQBitGrid::Text0() const
{
    return d->FText0;
}

void TZQBitGrid::SetText0(const QString& Value)
{
    if (Value == d->FText0)
        return;
    d->FText0 = Value;
    InvalidateGrid();
}

QString TZQBitGrid::Text1() const
{
    return d->FText1;
}

void TZQBitGrid::SetText1(const QString& Value)
{
    if (Value == d->FText1)
        return;
    d->FText1 = Value;
    InvalidateGrid();
}

int TZQBitGrid::WordAddressTitleOffset() const
{
    return d->FWordAddressTitleOffset;
}

void TZQBitGrid::SetWordAddressTitleOffset(int Value)
{
    if (Value == d->FWordAddressTitleOffset)
        return;
    d->FWordAddressTitleOffset = Value;
    if (DefaultDrawing() && GetFixedCols() > 0)
        InvalidateCol(0);
}

const TDrawCellEvent& TZQBitGrid::OnDrawCell() const
{
    return d->FOnDrawCell;
}

void TZQBitGrid::SetOnDrawCell(const TDrawCellEvent& Value)
{
    d->FOnDrawCell = Value;
}

// Data --------------------------------------------------------------------------------------------

const TCellDataChangedEvent& TZQBitGrid::OnCellDataChanged() const
{
    return d->FOnCellDataChanged;
}

void TZQBitGrid::SetOnCellDataChanged(const TCellDataChangedEvent& Value)
{
    d->FOnCellDataChanged = Value;
}

void TZQBitGrid::CheckDataRowIndex(int DataRow) const
{
    if (DataRow < 0 || DataRow >= d->FDataRows)
        throw ERangeError(QString::fromLatin1(SDataRowIndexOutOfBounds));
}

bool TZQBitGrid::GetDataBit(int DataRow, int BitNo)
{
    CheckDataRowIndex(DataRow);
    if (d->FOnExchangeData) {
        bool Value = false;
        d->FOnExchangeData(this, false, DataRow, BitNo, Value);
        return Value;
    }
    return std::uint32_t(d->FWords[DataRow]) & BitMask(BitNo);
}

void TZQBitGrid::SetDataBit(int DataRow, int BitNo, bool Value)
{
    if (GetDataBit(DataRow, BitNo) == Value)
        return;
    if (d->FOnExchangeData) {
        bool Stored = Value; // what the handler writes back is ignored
        d->FOnExchangeData(this, true, DataRow, BitNo, Stored);
    } else {
        const std::uint32_t Word = std::uint32_t(d->FWords[DataRow]);
        d->FWords[DataRow] = std::int32_t(Value ? Word | BitMask(BitNo) : Word & ~BitMask(BitNo));
    }
    int ARow, ACol;
    DataToCellCoord(DataRow, BitNo, ARow, ACol);
    InvalidateCell(ACol, ARow);
    GridAccessibility::CellsChanged(*this, ACol, ARow);
    if (d->FOnCellDataChanged)
        d->FOnCellDataChanged(this, ACol, ARow);
    emit cellDataChanged(ACol, ARow);
}

int TZQBitGrid::GetDataWords(int DataRow) const
{
    CheckDataRowIndex(DataRow);
    return d->FWords[DataRow];
}

void TZQBitGrid::SetDataWords(int DataRow, int Value)
{
    CheckDataRowIndex(DataRow);
    if (d->FWords[DataRow] == Value)
        return;
    d->FWords[DataRow] = Value;
    int ARow, ACol;
    DataToCellCoord(DataRow, 0, ARow, ACol);
    InvalidateRow(ARow);
    GridAccessibility::CellsChanged(*this, -1, ARow);
    if (d->FOnCellDataChanged)
        d->FOnCellDataChanged(this, -1, ARow);
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
        return GetDataBit(DataRow, BitNo) ? d->FText1 : d->FText0;
    if (DataRowCell && ACol == 0)
        // The sum wraps at 32 bits, so a negative address shows as its two's complement.
        return QStringLiteral("%1")
            .arg(std::uint32_t(DataRow) + std::uint32_t(d->FWordAddressTitleOffset), AddressDigits, 16, QChar(u'0'))
            .toUpper();
    if (DataColCell && ARow == 0)
        return QString::number(BitNo);
    return QString();
}

void TZQBitGrid::DrawCell(int ACol, int ARow, const QRect& Rect, TGridDrawState State)
{
    if (DefaultDrawing()) {
        TGridCanvas& Cells = Canvas();
        QString Text = CellText(ACol, ARow);
        int Width = Cells.TextWidth(Text);
        // Only a text wider than its room pays for eliding.
        if (const int Room = Rect.width() - TextLeftMargin - TextRightMargin;
            Width > Room && TextElideMode() != Qt::ElideNone) {
            Text = QFontMetrics(Cells.Font()).elidedText(Text, TextElideMode(), std::max(Room, 0));
            Width = Cells.TextWidth(Text);
        }
        const int Bottom = Rect.y() + Rect.height();
        // Right-aligned, so right to left at the left.
        const int X = AlignedTextX(Rect, Width, Qt::AlignRight, TextRightMargin);
        const int Y = (Rect.y() + Bottom - Cells.TextHeight(Text)) / 2;
        // Writing also fills the cell, so an empty text still gets its background.
        Cells.TextRect(Rect, X, Y, Text);
    }
    if (d->FOnDrawCell)
        d->FOnDrawCell(this, ACol, ARow, Rect, State);
}

// The user ----------------------------------------------------------------------------------------

QString TZQBitGrid::Keys0() const
{
    return d->FKeys0;
}

void TZQBitGrid::SetKeys0(const QString& Value)
{
    d->FKeys0 = Value;
}

QString TZQBitGrid::Keys1() const
{
    return d->FKeys1;
}

void TZQBitGrid::SetKeys1(const QString& Value)
{
    d->FKeys1 = Value;
}

bool TZQBitGrid::ReadOnly() const
{
    return d->FReadOnly;
}

void TZQBitGrid::SetReadOnly(bool Value)
{
    d->FReadOnly = Value;
}

bool TZQBitGrid::DblClickInvertsData() const
{
    return d->FDblClickInvertsData;
}

void TZQBitGrid::SetDblClickInvertsData(bool Value)
{
    d->FDblClickInvertsData = Value;
}

void TZQBitGrid::KeyPress(QChar& Key)
{
    TCustomGrid::KeyPress(Key);
    // A consumed key is 0 and must match nothing.
    if (d->FReadOnly || Key.isNull())
        return;
    bool Value;
    if (d->FKeys1.contains(Key))
        Value = true; // tried first: a character in both strings sets the bit
    else if (d->FKeys0.contains(Key))
        Value = false;
    else
        return;
    int DataRow, BitNo;
    CellToDataCoord(Row(), Col(), DataRow, BitNo);
    SetDataBit(DataRow, BitNo, Value);
}

void TZQBitGrid::DblClick()
{
    if (!d->FReadOnly && d->FDblClickInvertsData) {
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
