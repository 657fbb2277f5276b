#pragma once

#include "framework/Events.h"
#include "framework/Grids.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace ZQ {

using TExchangeDataEvent = TEvent<QObject*, bool, int, int, bool&>;
using TCellDataChangedEvent = TEvent<QObject*, int, int>;

// A grid that shows data words bit by bit: one word per data row, its highest shown bit in the
// leftmost data column and bit 0 in the rightmost. The fixed column 0 shows each word's address,
// the fixed row 0 the bit numbers. The bits live in the grid's own words or, once OnExchangeData
// is assigned, in the application's storage, fetched and stored through that handler.
class TZQBitGrid : public TCustomGrid {
    Q_OBJECT
    Q_PROPERTY(int DataCols READ DataCols WRITE SetDataCols)
    Q_PROPERTY(int DataRows READ DataRows WRITE SetDataRows)
    Q_PROPERTY(int FixedCols READ GetFixedCols WRITE SetFixedCols)
    Q_PROPERTY(int FixedRows READ GetFixedRows WRITE SetFixedRows)
    Q_PROPERTY(QString Text0 READ Text0 WRITE SetText0)
    Q_PROPERTY(QString Text1 READ Text1 WRITE SetText1)
    Q_PROPERTY(QString Keys0 READ Keys0 WRITE SetKeys0)
    Q_PROPERTY(QString Keys1 READ Keys1 WRITE SetKeys1)
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)
    Q_PROPERTY(bool DblClickInvertsData READ DblClickInvertsData WRITE SetDblClickInvertsData)
    Q_PROPERTY(int WordAddressTitleOffset READ WordAddressTitleOffset WRITE SetWordAddressTitleOffset)

public:
    explicit TZQBitGrid(QWidget* Owner = nullptr);
    ~TZQBitGrid() override;

    TSelectCellEvent OnSelectCell;
    TDrawCellEvent OnDrawCell;

    // Counts below 1 are raised to 1, and to no more than the control's counts can hold.
    int DataCols() const { return FDataCols; }
    void SetDataCols(int Value);
    int DataRows() const { return FDataRows; }
    // Raises the allocation failure, the grid unchanged, when the words cannot grow.
    void SetDataRows(int Value);

    // The fixed counts keep DataCols and DataRows, so every bit stays in its data cell.
    int GetFixedCols() const { return TCustomGrid::FixedCols(); }
    void SetFixedCols(int Value);
    int GetFixedRows() const { return TCustomGrid::FixedRows(); }
    void SetFixedRows(int Value);

    const TExchangeDataEvent& OnExchangeData() const { return FOnExchangeData; }
    void SetOnExchangeData(const TExchangeDataEvent& Value);

    QString Text0() const { return FText0; }
    void SetText0(const QString& Value);
    QString Text1() const { return FText1; }
    void SetText1(const QString& Value);
    QString Keys0() const { return FKeys0; }
    void SetKeys0(const QString& Value) { FKeys0 = Value; }
    QString Keys1() const { return FKeys1; }
    void SetKeys1(const QString& Value) { FKeys1 = Value; }
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool Value) { FReadOnly = Value; }
    bool DblClickInvertsData() const { return FDblClickInvertsData; }
    void SetDblClickInvertsData(bool Value) { FDblClickInvertsData = Value; }

    TCellDataChangedEvent OnCellDataChanged;

    int WordAddressTitleOffset() const { return FWordAddressTitleOffset; }
    void SetWordAddressTitleOffset(int Value);

    bool GetDataBit(int DataRow, int BitNo);
    void SetDataBit(int DataRow, int BitNo, bool Value);
    // The grid's own words, also while OnExchangeData is assigned.
    int GetDataWords(int DataRow) const;
    void SetDataWords(int DataRow, int Value);

    // Row before column, unlike the control's column-first order; neither checks anything.
    void CellToDataCoord(int ARow, int ACol, int& DataRow, int& BitNo) const;
    void DataToCellCoord(int DataRow, int BitNo, int& ARow, int& ACol) const;
    void CheckDataRowIndex(int DataRow) const;

    void KeyPress(QChar& Key) override;
    void DblClick() override;

signals:
    // A bit (ACol of its cell) or a whole word (ACol -1) changed; told after OnCellDataChanged.
    void cellDataChanged(int ACol, int ARow);

protected:
    void DrawCell(int ACol, int ARow, const QRect& Rect, TGridDrawState State) override;
    bool SelectCell(int ACol, int ARow) override;

private:
    // The counts follow the fixed and data counts and are set through them alone.
    using TCustomGrid::SetColCount;
    using TCustomGrid::SetRowCount;

    QString CellText(int ACol, int ARow);

    int FDataCols = 0;
    int FDataRows = 0;
    TExchangeDataEvent FOnExchangeData;
    QString FText0;
    QString FText1;
    QString FKeys0;
    QString FKeys1;
    bool FReadOnly = false;
    bool FDblClickInvertsData = true;
    int FWordAddressTitleOffset = 0;
    std::vector<std::int32_t> FWords;
};

} // namespace ZQ

// The unit's routines, qualified by the unit as a program calls them: ZQBitGrid::Register().
namespace ZQBitGrid {
// Offers ZQ::TZQBitGrid to a form designer on the palette page "ZQ".
void Register();
} // namespace ZQBitGrid
