#pragma once

// Not part of the library's interface: this header is never installed, and what it declares may
// change from one version to the next. Only the library's own code and its tests built in the tree
// include it.
#ifdef ZQ_TESTS_OF_THE_SHARED_LIBRARY
#error "a test of the shared library sees only what a program sees: the installed headers"
#endif

#include "components/ZQBitGrid.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace ZQ {

// What a bit grid holds. Fields added later go here, so that the grid's own size never changes.
class TZQBitGridPrivate {
public:
    int FDataCols = 0;
    int FDataRows = 0;
    TExchangeDataEvent FOnExchangeData;
    TCellDataChangedEvent FOnCellDataChanged;
    TDrawCellEvent FOnDrawCell;
    QString FText0;
    QString FText1;
    QString FKeys0;
    QString FKeys1;
    bool FReadOnly = false;
    bool FDblClickInvertsData = true;
    int FWordAddressTitleOffset = 0;
    std::vector<std::int32_t> FWords;
    // The width the grid gave the address column itself; 0 before it gave one.
    int FAddressColWidth = 0;
};

} // namespace ZQ
