/// \file
/// The bit grid unit: ZQ::TZQBitGrid, its event types, and ZQBitGrid::Register().
#pragma once

#include <zq/framework/Events.h>
#include <zq/framework/Export.h>
#include <zq/framework/Grids.h>

#include <QString>

#include <memory>

/// The namespace of the bit grid unit's classes.
namespace ZQ {

class TZQBitGridPrivate;

/// Keeps a bit grid's bits in the application's storage: (Sender, Set, DataRow, BitNo, Value).
/// With Set false the grid fetches: Value arrives false and the handler writes the bit's value
/// into it (one that writes nothing reports 0). With Set true the grid stores: Value holds the new
/// value; whatever the handler writes back is ignored. BitNo arrives unchanged, from 0 to
/// TZQBitGrid::DataCols() - 1, also beyond 31.
using TExchangeDataEvent = TEvent<QObject*, bool, int, int, bool&>;
/// Told that a bit grid's data changed: (Sender, ACol, ARow), the cell of the changed bit, or
/// ACol -1 when the whole word shown in row ARow changed.
using TCellDataChangedEvent = TEvent<QObject*, int, int>;

/// A grid that shows data words bit by bit: one word per data row, its highest shown bit in the
/// leftmost data column and bit 0 in the rightmost. The fixed column 0 shows each word's address,
/// the fixed row 0 the bit numbers. The bits live in the grid's own words or, once OnExchangeData
/// is assigned, in the application's storage, fetched and stored through that handler.
///
/// The user sets a bit by typing a character of Keys1() on its cell, clears it with one of
/// Keys0(), and inverts it by a double-click. The column and row counts follow from the data and
/// fixed counts. Qt Designer offers it on the palette page "ZQ" (ZQBitGrid::Register()).
class ZQ_EXPORT TZQBitGrid : public TCustomGrid {
    Q_OBJECT
    Q_PROPERTY(int DataCols READ DataCols WRITE SetDataCols) ///< Default 8.
    Q_PROPERTY(int DataRows READ DataRows WRITE SetDataRows) ///< Default 1.
    Q_PROPERTY(int FixedCols READ GetFixedCols WRITE SetFixedCols) ///< Default 1.
    Q_PROPERTY(int FixedRows READ GetFixedRows WRITE SetFixedRows) ///< Default 1.
    Q_PROPERTY(QString Text0 READ Text0 WRITE SetText0) ///< Default "0".
    Q_PROPERTY(QString Text1 READ Text1 WRITE SetText1) ///< Default "1".
    Q_PROPERTY(QString Keys0 READ Keys0 WRITE SetKeys0) ///< Default "0Nn".
    Q_PROPERTY(QString Keys1 READ Keys1 WRITE SetKeys1) ///< Default "1Yy".
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly) ///< Default false.
    /// Default true.
    Q_PROPERTY(bool DblClickInvertsData READ DblClickInvertsData WRITE SetDblClickInvertsData)
    /// Default 0.
    Q_PROPERTY(int WordAddressTitleOffset READ WordAddressTitleOffset WRITE SetWordAddressTitleOffset)

public:
    /// A grid of one word, 0, shown in 8 bit columns of 24 pixels, beside an address column of
    /// 64 pixels and under a row of bit numbers. Where the grid's font needs more room for the
    /// address "FFFFFFFF" and the cell's margins, the address column is that wide, also after a
    /// change of the font, unless the program has given it another width.
    explicit TZQBitGrid(QWidget* Owner = nullptr);
    /// Frees the grid's words.
    ~TZQBitGrid() override;

    /// Told after each cell was drawn, also when DefaultDrawing() is off.
    ///@{
    const TDrawCellEvent& OnDrawCell() const;
    void SetOnDrawCell(const TDrawCellEvent& Value);
    ///@}

    /// The number of data columns, the bits shown of each word. Setting it repaints the grid.
    /// Counts below 1 are raised to 1, and to no more than the control's counts can hold.
    ///@{
    int DataCols() const;
    void SetDataCols(int Value);
    ///@}
    /// The number of data rows, the words. New words are 0; the words that stay keep their
    /// values. Counts below 1 are raised to 1, and to no more than the control's counts can hold.
    /// Raises the allocation failure (std::bad_alloc), the grid unchanged, when the words cannot grow.
    ///@{
    int DataRows() const;
    void SetDataRows(int Value);
    ///@}

    /// The number of fixed columns at the left (the first shows the addresses) and of fixed rows
    /// at the top (the first shows the bit numbers).
    /// The fixed counts keep DataCols and DataRows, so every bit stays in its data cell.
    /// Raises Exceptions::EInvalidGridOperation for a negative count, or one that would take the
    /// column or row count past INT_MAX.
    ///@{
    int GetFixedCols() const;
    void SetFixedCols(int Value);
    int GetFixedRows() const;
    void SetFixedRows(int Value);
    ///@}

    /// The handler that keeps the bits in the application's storage; empty for the grid's own
    /// words. Setting another handler repaints the grid and copies nothing between the two.
    ///@{
    const TExchangeDataEvent& OnExchangeData() const;
    void SetOnExchangeData(const TExchangeDataEvent& Value);
    ///@}

    /// The text of a data cell whose bit is 0; setting another text repaints the grid.
    ///@{
    QString Text0() const;
    void SetText0(const QString& Value);
    ///@}
    /// The text of a data cell whose bit is 1; setting another text repaints the grid.
    ///@{
    QString Text1() const;
    void SetText1(const QString& Value);
    ///@}
    /// The characters that clear the current cell's bit when typed, case-sensitive.
    ///@{
    QString Keys0() const;
    void SetKeys0(const QString& Value);
    ///@}
    /// The characters that set the current cell's bit when typed, case-sensitive; a character
    /// in both Keys0() and Keys1() sets it.
    ///@{
    QString Keys1() const;
    void SetKeys1(const QString& Value);
    ///@}
    /// Whether the user is kept from changing bits by key and double-click; a program still can.
    ///@{
    bool ReadOnly() const;
    void SetReadOnly(bool Value);
    ///@}
    /// Whether a double-click inverts the bit under the mouse pointer.
    ///@{
    bool DblClickInvertsData() const;
    void SetDblClickInvertsData(bool Value);
    ///@}

    /// Told after a bit or a word changed, before the signal cellDataChanged().
    ///@{
    const TCellDataChangedEvent& OnCellDataChanged() const;
    void SetOnCellDataChanged(const TCellDataChangedEvent& Value);
    ///@}

    /// What is added to a data row's index in the address column, the sum wrapping at 32 bits.
    ///@{
    int WordAddressTitleOffset() const;
    void SetWordAddressTitleOffset(int Value);
    ///@}

    /// Bit BitNo of data row DataRow: fetched through OnExchangeData when it is assigned,
    /// otherwise bit (BitNo AND 31) of the grid's own word; no bound applies to BitNo.
    /// Raises Exceptions::ERangeError "TZQBitGrid: data row index out of bounds" for a data row
    /// outside 0 to DataRows() - 1, before any handler is called.
    bool GetDataBit(int DataRow, int BitNo);
    /// Writes bit BitNo of data row DataRow. Nothing happens when it already has Value; otherwise
    /// it is stored (through OnExchangeData, or in the grid's own word), its cell is repainted,
    /// OnCellDataChanged is called and cellDataChanged() emitted. Raises as GetDataBit() does.
    void SetDataBit(int DataRow, int BitNo, bool Value);
    /// The grid's own words, also while OnExchangeData is assigned (the grid then shows the
    /// handler's bits, not these). Storing another word repaints its row and tells of it with
    /// ACol -1. Both raise as GetDataBit() does.
    ///@{
    int GetDataWords(int DataRow) const;
    void SetDataWords(int DataRow, int Value);
    ///@}

    /// Convert between a cell and a bit: DataRow = ARow - FixedRows, BitNo = ColCount() - 1 - ACol.
    /// Row before column, unlike the control's column-first order; neither checks anything.
    ///@{
    void CellToDataCoord(int ARow, int ACol, int& DataRow, int& BitNo) const;
    void DataToCellCoord(int DataRow, int BitNo, int& ARow, int& ACol) const;
    ///@}
    /// Returns when 0 <= DataRow < DataRows(), else raises Exceptions::ERangeError "TZQBitGrid:
    /// data row index out of bounds".
    void CheckDataRowIndex(int DataRow) const;

    /// After the inherited handling, a character of Keys1() sets and one of Keys0() clears the
    /// current cell's bit, unless ReadOnly(); the current cell does not move.
    void KeyPress(QChar& Key) override;
    /// Inverts the bit under the mouse pointer, unless ReadOnly() or without
    /// DblClickInvertsData(); then the inherited handling calls OnDblClick.
    void DblClick() override;

Q_SIGNALS:
    /// A bit (ACol of its cell) or a whole word (ACol -1) changed; told after OnCellDataChanged.
    void cellDataChanged(int ACol, int ARow);

protected:
    /// With DefaultDrawing(), writes the cell's text right-aligned 4 pixels from its right edge:
    /// Text1() or Text0() in a data cell, the word's address as eight upper-case hexadecimal
    /// digits in column 0, the bit number in row 0. Then calls OnDrawCell.
    void DrawCell(int ACol, int ARow, const QRect& Rect, TGridDrawState State) override;
    /// After the inherited handling, a change of the font widens or narrows the address column
    /// to hold the address, unless the program has given it another width.
    void changeEvent(QEvent* Event) override;
    /// Reserved: lets a later version add a virtual function without changing the virtual
    /// table. Answers CellTextHook with the cell's text and TextMarginsHook with the 4 pixels
    /// left either side of a text; passes every other id on to the grid base.
    void virtual_hook(int Id, void* Data) override;

private:
    // The counts follow the fixed and data counts and are set through them alone.
    using TCustomGrid::SetColCount;
    using TCustomGrid::SetRowCount;

    QString CellText(int ACol, int ARow);
    void FitAddressCol();

    std::unique_ptr<TZQBitGridPrivate> const d;
};

} // namespace ZQ

/// The unit's routines, qualified by the unit as a program calls them: ZQBitGrid::Register().
namespace ZQBitGrid {
/// Offers ZQ::TZQBitGrid to a form designer on the palette page "ZQ" (RegisterComponents()).
ZQ_EXPORT void Register();
} // namespace ZQBitGrid
