// The installed classes keep their size from one version of the library to the next: each adds
// to its base nothing but the pointer to its private data, where anything new goes.
#include <zq/ZQBitGrid.h>
#include <zq/ZQDataGrid.h>
#include <zq/ZQGridDataModel.h>
#include <zq/ZQGridDataObserver.h>
#include <zq/ZQItemModelData.h>
#include <zq/framework/Collections.h>
#include <zq/framework/Registry.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <type_traits>

namespace {

// What a class of its own with a virtual table weighs, the base of a polymorphic class without one.
class TPolymorphic {
public:
    virtual ~TPolymorphic() = default;
};

// The select handler belongs to the grid base. A grid that still declares its own counts it beside
// its private pointer; once the base holds it, the grid counts nothing more.
template <typename TGrid, typename = void>
constexpr std::size_t OwnSelectHandler = 0;
template <typename TGrid>
constexpr std::size_t
    OwnSelectHandler<TGrid, std::enable_if_t<std::is_same_v<decltype(&TGrid::OnSelectCell), TSelectCellEvent TGrid::*>>> =
        sizeof(TSelectCellEvent);

struct TLayout {
    const char* Class;
    std::size_t Size;
    std::size_t BaseSize;
};

TEST(InstalledLayout, EachClassAddsOnlyItsPrivatePointerToItsBase)
{
    const TLayout Layouts[] = {
        {"ZQ::TZQBitGrid", sizeof(ZQ::TZQBitGrid) - OwnSelectHandler<ZQ::TZQBitGrid>, sizeof(TCustomGrid)},
        {"TZQDataGrid", sizeof(TZQDataGrid) - OwnSelectHandler<TZQDataGrid>, sizeof(TCustomGrid)},
        {"TZQGridData", sizeof(TZQGridData), sizeof(TPolymorphic)},
        {"TZQGridDataObserver", sizeof(TZQGridDataObserver), sizeof(TPolymorphic)},
        {"TZQGridDataModel", sizeof(TZQGridDataModel), sizeof(QAbstractTableModel)},
        {"TZQItemModelData", sizeof(TZQItemModelData), sizeof(TZQGridData)},
        {"TZQDataGridColumn", sizeof(TZQDataGridColumn), sizeof(TCollectionItem)},
        {"TZQDataGridColumns", sizeof(TZQDataGridColumns), sizeof(TCollection)},
        {"TCollectionItem", sizeof(TCollectionItem), sizeof(QObject)},
        {"TCollection", sizeof(TCollection), sizeof(QObject)},
        {"TComponentClass", sizeof(TComponentClass), 0},
        {"TRegisteredComponent", sizeof(TRegisteredComponent), 0},
    };
    for (const TLayout& Layout : Layouts)
        EXPECT_EQ(Layout.Size, Layout.BaseSize + sizeof(void*)) << Layout.Class;
}

} // namespace
