// What one full repaint of a shown 640 x 480 grid costs: the data grid with four text columns, the
// bit grid with 32 data columns, and QTableView painting the same screens from a model with the
// same texts, each as the same screen again and as the next page of records. Each repetition
// repaints 30 times; the median of the 30 is its counter median_us. The grids' cases run once more
// with accessibility on (..._Accessible), as when a screen reader reads them, side by side.
#include "components/ZQBitGrid.h"
#include "components/ZQDataGrid.h"
#include "framework/Application.h"

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <QAbstractTableModel>
#include <QAccessible>
#include <QtGui/private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

using ZQ::TZQBitGrid;

namespace {

constexpr int ClientWidth = 640;
constexpr int ClientHeight = 480;
constexpr int Repaints = 30;

constexpr int Records = 1000;
constexpr int TextColumns = 4;
constexpr int TextColumnWidth = ClientWidth / TextColumns - 1; // with its grid line
constexpr int DataRowHeight = 16;

constexpr int Words = 1000;
constexpr int BitColumns = 32;
constexpr int AddressWidth = 64;
constexpr int BitWidth = 24;
constexpr int BitRowHeight = 24;

QString TextOf(int Record, int DataIndex)
{
    return QStringLiteral("Record %1.%2").arg(Record, 6, 10, QChar(u'0')).arg(DataIndex);
}

QString TitleOf(int DataIndex)
{
    return QStringLiteral("Datum %1").arg(DataIndex);
}

// The bits of the bit grid's screen, for both sides: a word per row, every other bit set.
bool BitOf(int Word, int BitNo)
{
    return (Word + BitNo) % 2 != 0;
}

class TTextSource : public TZQGridData {
public:
    int GetRecordCount() const override { return Records; }
    QString GetDataText(int Record, int DataIndex) const override { return TextOf(Record, DataIndex); }
};

// The data grid's screen for QTableView: the titles in the horizontal header, no row header.
class TTextModel : public QAbstractTableModel {
public:
    int rowCount(const QModelIndex& Parent = QModelIndex()) const override { return Parent.isValid() ? 0 : Records; }
    int columnCount(const QModelIndex& Parent = QModelIndex()) const override
    {
        return Parent.isValid() ? 0 : TextColumns;
    }
    QVariant data(const QModelIndex& Index, int Role) const override
    {
        return Role == Qt::DisplayRole ? QVariant(TextOf(Index.row(), Index.column())) : QVariant();
    }
    QVariant headerData(int Section, Qt::Orientation Orientation, int Role) const override
    {
        if (Role != Qt::DisplayRole || Orientation != Qt::Horizontal)
            return QAbstractTableModel::headerData(Section, Orientation, Role);
        return TitleOf(Section);
    }
};

// The bit grid's screen for QTableView: bit numbers in the horizontal header, addresses in the
// vertical one.
class TBitModel : public QAbstractTableModel {
public:
    int rowCount(const QModelIndex& Parent = QModelIndex()) const override { return Parent.isValid() ? 0 : Words; }
    int columnCount(const QModelIndex& Parent = QModelIndex()) const override
    {
        return Parent.isValid() ? 0 : BitColumns;
    }
    QVariant data(const QModelIndex& Index, int Role) const override
    {
        if (Role == Qt::TextAlignmentRole)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        if (Role != Qt::DisplayRole)
            return QVariant();
        return BitOf(Index.row(), BitColumns - 1 - Index.column()) ? QStringLiteral("1") : QStringLiteral("0");
    }
    QVariant headerData(int Section, Qt::Orientation Orientation, int Role) const override
    {
        if (Role != Qt::DisplayRole)
            return QAbstractTableModel::headerData(Section, Orientation, Role);
        if (Orientation == Qt::Horizontal)
            return QString::number(BitColumns - 1 - Section);
        return QStringLiteral("%1").arg(Section, 8, 16, QChar(u'0')).toUpper();
    }
};

double ThreadCpuMicros()
{
    timespec Now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &Now);
    return double(Now.tv_sec) * 1e6 + double(Now.tv_nsec) / 1e3;
}

double Median(std::vector<double> Values)
{
    std::nth_element(Values.begin(), Values.begin() + Values.size() / 2, Values.end());
    return Values[Values.size() / 2];
}

void Show(QWidget& Widget)
{
    Widget.show();
    while (!Widget.windowHandle() || !Widget.windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

// Accessibility on while it lives, as a screen reader's bridge turns it on, with a listener that
// takes every event, and the grid's table and its focused cell asked for as a reader asks.
class TAccessibilityOn {
public:
    explicit TAccessibilityOn(QWidget& Grid)
    {
        FPrevious = QAccessible::installUpdateHandler([](QAccessibleEvent*) { ++Events; });
        Platform()->setActive(true);
        if (QAccessibleInterface* Table = QAccessible::queryAccessibleInterface(&Grid))
            if (QAccessibleInterface* Cell = Table->focusChild())
                Cell->text(QAccessible::Name);
    }
    ~TAccessibilityOn()
    {
        Platform()->setActive(false);
        QAccessible::installUpdateHandler(FPrevious);
    }
    TAccessibilityOn(const TAccessibilityOn&) = delete;
    TAccessibilityOn& operator=(const TAccessibilityOn&) = delete;
    static inline long Events = 0;

private:
    static QPlatformAccessibility* Platform()
    {
        return QGuiApplicationPrivate::platformIntegration()->accessibility();
    }
    QAccessible::UpdateHandler FPrevious = nullptr;
};

// What changes before each repaint: nothing, or the view moves a page on, so that every text
// it shows is new to it.
enum TChange { SameScreen = 0, NextPage = 1 };

// Repaints Targets synchronously, Repaints times per benchmark iteration, and reports the median
// and how many paint events the first target received per repaint, to show that it was painted.
// Before, untimed, runs ahead of each repaint.
void MeasureRepaints(benchmark::State& State, const std::vector<QWidget*>& Targets,
                     const std::function<void()>& Before = nullptr)
{
    TPaintCounter Paints;
    Targets.front()->installEventFilter(&Paints);
    std::vector<double> Micros;
    std::vector<double> CpuMicros;
    for (auto _ : State) {
        Micros.clear();
        CpuMicros.clear();
        for (int I = 0; I < Repaints; ++I) {
            if (Before)
                Before();
            const auto Start = std::chrono::steady_clock::now();
            const double CpuStart = ThreadCpuMicros();
            for (QWidget* Target : Targets)
                Target->repaint();
            CpuMicros.push_back(ThreadCpuMicros() - CpuStart);
            Micros.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - Start).count());
        }
    }
    State.counters["median_us"] = Median(Micros);
    // The time this thread ran: what a machine shared with others changes least.
    State.counters["median_cpu_us"] = Median(CpuMicros);
    State.counters["paints_per_repaint"] = double(Paints.Paints) / double(State.iterations() * Repaints);
    Targets.front()->removeEventFilter(&Paints);
}

std::unique_ptr<TZQDataGrid> TextGrid(TTextSource& Source)
{
    auto Grid = std::make_unique<TZQDataGrid>();
    for (int I = 0; I < TextColumns; ++I) {
        TZQDataGridColumn* Column = Grid->Columns()->Add();
        Column->SetTitle(TitleOf(I));
        Column->SetDataIndex(I);
        Column->SetWidth(TextColumnWidth);
    }
    Grid->Columns()->GetItem(TextColumns - 1)->SetDataAlignment(taRightJustify);
    Grid->SetData(&Source);
    // Without scroll bars, which would be painted with the cells after each scroll.
    Grid->SetScrollBars(TScrollStyle::ssNone);
    Grid->SetClientSize(ClientWidth, ClientHeight);
    Show(*Grid);
    Grid->SetDataRow(Records / 2);
    Grid->setFocus();
    return Grid;
}

// Moves a grid's top row a page on, back to the top at the end.
std::function<void()> PageOn(TCustomGrid& Grid)
{
    return [&Grid] {
        const int Page = Grid.VisibleRowCount();
        Grid.SetTopRow(Grid.TopRow() + Page <= Grid.RowCount() - Page ? Grid.TopRow() + Page : Grid.FixedRows());
    };
}

std::function<void()> PageOn(QTableView& View)
{
    return [&View] {
        QScrollBar& Bar = *View.verticalScrollBar();
        Bar.setValue(Bar.value() + Bar.pageStep() <= Bar.maximum() ? Bar.value() + Bar.pageStep() : 0);
    };
}

void BM_DataGridRepaint(benchmark::State& State)
{
    TTextSource Source;
    const auto Grid = TextGrid(Source);
    MeasureRepaints(State, {Grid->viewport()}, State.range(0) == NextPage ? PageOn(*Grid) : nullptr);
}
BENCHMARK(BM_DataGridRepaint)->ArgName("next_page")->Arg(SameScreen)->Arg(NextPage)->Iterations(1)->Unit(benchmark::kMicrosecond);

void BM_DataGridRepaint_Accessible(benchmark::State& State)
{
    TTextSource Source;
    const auto Grid = TextGrid(Source);
    TAccessibilityOn On(*Grid);
    MeasureRepaints(State, {Grid->viewport()}, State.range(0) == NextPage ? PageOn(*Grid) : nullptr);
}
BENCHMARK(BM_DataGridRepaint_Accessible)
    ->ArgName("next_page")
    ->Arg(SameScreen)
    ->Arg(NextPage)
    ->Iterations(1)
    ->Unit(benchmark::kMicrosecond);

void BM_DataGridScreenInTableView(benchmark::State& State)
{
    TTextModel Model;
    QTableView View;
    View.verticalHeader()->hide();
    View.verticalHeader()->setMinimumSectionSize(DataRowHeight);
    View.verticalHeader()->setDefaultSectionSize(DataRowHeight);
    View.horizontalHeader()->setDefaultSectionSize(TextColumnWidth + 1);
    View.setModel(&Model);
    View.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    View.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    View.resize(ClientWidth + 2, ClientHeight + 2);
    Show(View);
    View.setCurrentIndex(Model.index(Records / 2, 1));
    // The title row is a widget of its own, painted with the cells for the same screen.
    MeasureRepaints(State, {View.viewport(), View.horizontalHeader()->viewport()},
                    State.range(0) == NextPage ? PageOn(View) : nullptr);
}
BENCHMARK(BM_DataGridScreenInTableView)
    ->ArgName("next_page")
    ->Arg(SameScreen)
    ->Arg(NextPage)
    ->Iterations(1)
    ->Unit(benchmark::kMicrosecond);

class TBits {
public:
    void Exchange(QObject*, bool Set, int DataRow, int BitNo, bool& Value)
    {
        if (!Set)
            Value = BitOf(DataRow, BitNo);
    }
};

void BitGridRepaint(benchmark::State& State, bool Accessible)
{
    TBits Bits;
    TZQBitGrid Grid;
    Grid.SetDataCols(BitColumns);
    Grid.SetDataRows(Words);
    Grid.SetOnExchangeData(ZQ::TExchangeDataEvent(&Bits, &TBits::Exchange));
    Grid.SetScrollBars(TScrollStyle::ssNone);
    Grid.SetClientSize(ClientWidth, ClientHeight);
    Show(Grid);
    Grid.setFocus();
    std::optional<TAccessibilityOn> On;
    if (Accessible)
        On.emplace(Grid);
    MeasureRepaints(State, {Grid.viewport()}, State.range(0) == NextPage ? PageOn(Grid) : nullptr);
}

void BM_BitGridRepaint(benchmark::State& State)
{
    BitGridRepaint(State, false);
}
BENCHMARK(BM_BitGridRepaint)->ArgName("next_page")->Arg(SameScreen)->Arg(NextPage)->Iterations(1)->Unit(benchmark::kMicrosecond);

void BM_BitGridRepaint_Accessible(benchmark::State& State)
{
    BitGridRepaint(State, true);
}
BENCHMARK(BM_BitGridRepaint_Accessible)
    ->ArgName("next_page")
    ->Arg(SameScreen)
    ->Arg(NextPage)
    ->Iterations(1)
    ->Unit(benchmark::kMicrosecond);

void BM_BitGridScreenInTableView(benchmark::State& State)
{
    TBitModel Model;
    QTableView View;
    View.verticalHeader()->setMinimumSectionSize(BitRowHeight);
    View.verticalHeader()->setDefaultSectionSize(BitRowHeight);
    View.verticalHeader()->setFixedWidth(AddressWidth);
    View.horizontalHeader()->setMinimumSectionSize(BitWidth + 1);
    View.horizontalHeader()->setDefaultSectionSize(BitWidth + 1);
    View.setModel(&Model);
    View.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    View.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    View.resize(ClientWidth + 2, ClientHeight + 2);
    Show(View);
    View.setCurrentIndex(Model.index(1, 1));
    MeasureRepaints(State, {View.viewport(), View.horizontalHeader()->viewport(), View.verticalHeader()->viewport()},
                    State.range(0) == NextPage ? PageOn(View) : nullptr);
}
BENCHMARK(BM_BitGridScreenInTableView)
    ->ArgName("next_page")
    ->Arg(SameScreen)
    ->Arg(NextPage)
    ->Iterations(1)
    ->Unit(benchmark::kMicrosecond);

} // namespace

int main(int Argc, char** Argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("QT_SCALE_FACTOR", "1", 1);
    TApplication Application(Argc, Argv);
    benchmark::Initialize(&Argc, Argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
