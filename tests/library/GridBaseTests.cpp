// The handlers the grid base keeps for every grid built on it: each grid of the library asks the
// one OnSelectCell and tells OnKeyPress and OnDblClick, whatever it overrides.
#include "TestSupport.h"
#include "components/ZQBitGrid.h"
#include "components/ZQDataGrid.h"
#include "framework/Grids.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

class TFiveRecords : public TZQGridData {
public:
    int GetRecordCount() const override { return 5; }
    QString GetDataText(int Record, int) const override { return QString::number(Record); }
};

// Each grid with at least five rows, its current cell at (1, 1).
struct TGridKind {
    const char* Name;
    std::function<std::unique_ptr<TCustomGrid>(TFiveRecords& Source)> Make;
};

// Test listings name the grid, not its bytes.
void PrintTo(const TGridKind& Kind, std::ostream* Out)
{
    *Out << Kind.Name;
}

const TGridKind GridKinds[] = {
    {"TDrawGrid", [](TFiveRecords&) { return std::make_unique<TDrawGrid>(); }},
    {"TZQDataGrid",
     [](TFiveRecords& Source) {
         auto Grid = std::make_unique<TZQDataGrid>();
         Grid->Columns()->Add();
         Grid->SetData(&Source);
         return std::unique_ptr<TCustomGrid>(std::move(Grid));
     }},
    {"TZQBitGrid",
     [](TFiveRecords&) {
         auto Grid = std::make_unique<ZQ::TZQBitGrid>();
         Grid->SetDataRows(5);
         return std::unique_ptr<TCustomGrid>(std::move(Grid));
     }},
};

struct THandlers {
    QObject* Sender = nullptr;
    QList<TGridCoord> Asked;
    bool ArrivedFalse = false;
    int RefusedRow = -1;
    QList<QChar> Keys;
    int DblClicks = 0;

    void SelectCell(QObject* From, int ACol, int ARow, bool& CanSelect)
    {
        Sender = From;
        Asked.append({ACol, ARow});
        ArrivedFalse |= !CanSelect;
        if (ARow == RefusedRow)
            CanSelect = false;
    }
    void KeyPress(QObject* From, QChar& Key)
    {
        Sender = From;
        Keys.append(Key);
        Key = u'#';
    }
    void DblClick(QObject* From)
    {
        Sender = From;
        ++DblClicks;
    }
};

class GridBase : public ::testing::TestWithParam<TGridKind> {};

} // namespace

TEST_P(GridBase, EveryMoveAsksTheOneOnSelectCellWhichMayRefuse)
{
    TFiveRecords Source;
    const std::unique_ptr<TCustomGrid> Grid = GetParam().Make(Source);
    ASSERT_EQ(Grid->Row(), 1);
    THandlers Handlers;
    Handlers.RefusedRow = 3;
    const TSelectCellEvent Handler(&Handlers, &THandlers::SelectCell);
    Grid->SetOnSelectCell(Handler);
    EXPECT_EQ(Grid->OnSelectCell(), Handler);

    Grid->SetRow(2);
    EXPECT_EQ(Grid->Row(), 2);
    Grid->SetRow(3);
    EXPECT_EQ(Grid->Row(), 2);
    EXPECT_EQ(Handlers.Asked, (QList<TGridCoord>{{1, 2}, {1, 3}}));
    EXPECT_EQ(Handlers.Sender, Grid.get());
    EXPECT_FALSE(Handlers.ArrivedFalse);

    // Without a handler every cell may become current.
    Grid->SetOnSelectCell(TSelectCellEvent());
    EXPECT_FALSE(Grid->OnSelectCell());
    Grid->SetRow(3);
    EXPECT_EQ(Grid->Row(), 3);
    EXPECT_EQ(Handlers.Asked.size(), 2);
}

TEST_P(GridBase, KeysAndDoubleClicksReachTheBasesHandlers)
{
    TFiveRecords Source;
    const std::unique_ptr<TCustomGrid> Grid = GetParam().Make(Source);
    THandlers Handlers;
    const TKeyPressEvent OnKey(&Handlers, &THandlers::KeyPress);
    const TNotifyEvent OnDbl(&Handlers, &THandlers::DblClick);
    Grid->SetOnKeyPress(OnKey);
    Grid->SetOnDblClick(OnDbl);
    EXPECT_EQ(Grid->OnKeyPress(), OnKey);
    EXPECT_EQ(Grid->OnDblClick(), OnDbl);

    QChar Key = u'x';
    Grid->KeyPress(Key);
    EXPECT_EQ(Handlers.Keys, QList<QChar>{u'x'});
    EXPECT_EQ(Key, QChar(u'#'));
    Grid->DblClick();
    EXPECT_EQ(Handlers.DblClicks, 1);
    EXPECT_EQ(Handlers.Sender, Grid.get());

    Grid->SetOnKeyPress(TKeyPressEvent());
    Grid->SetOnDblClick(TNotifyEvent());
    Key = u'x';
    Grid->KeyPress(Key);
    Grid->DblClick();
    EXPECT_EQ(Key, QChar(u'x'));
    EXPECT_EQ(Handlers.Keys.size(), 1);
    EXPECT_EQ(Handlers.DblClicks, 1);
}

INSTANTIATE_TEST_SUITE_P(EveryGrid, GridBase, ::testing::ValuesIn(GridKinds),
                         [](const ::testing::TestParamInfo<TGridKind>& Info) { return std::string(Info.param.Name); });
