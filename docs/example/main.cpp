// A small program on the zq library: a data grid showing the program's list of tasks, a bit grid
// holding words of flags, and labels that follow both through their signals.
// Started with --quit, it ends as soon as its window is up.
#include <zq/ZQBitGrid.h>
#include <zq/ZQDataGrid.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <vector>

// The records stay with the program: the grids ask for their texts, and are told of each change
// once it is made.
class TTaskList : public TZQGridData {
public:
    struct TTask {
        QString Name;
        QString Owner;
        int Hours;
    };

    int GetRecordCount() const override { return int(FTasks.size()); }

    QString GetDataText(int Record, int DataIndex) const override
    {
        const TTask& Task = FTasks[std::size_t(Record)];
        switch (DataIndex) {
        case 0: return Task.Name;
        case 1: return Task.Owner;
        default: return QString::number(Task.Hours);
        }
    }

    void Add(const TTask& Task)
    {
        FTasks.push_back(Task);
        RecordInserted(GetRecordCount() - 1);
    }

private:
    std::vector<TTask> FTasks;
};

int main(int Argc, char** Argv)
{
    QApplication Application(Argc, Argv);
    TTaskList Tasks;
    Tasks.Add({"Plan the release", "Ann", 6});
    Tasks.Add({"Write the notes", "Bo", 3});
    Tasks.Add({"Test the packages", "Cy", 8});

    QWidget Window;
    Window.setWindowTitle("zq example");
    auto* Layout = new QVBoxLayout(&Window);

    // The first column is the grid's fixed one: the names stand beside the records as titles.
    auto* TaskGrid = new TZQDataGrid;
    auto AddColumn = [TaskGrid](const QString& Title, int DataIndex, TAlignment Alignment, int Width) {
        TZQDataGridColumn* Column = TaskGrid->Columns()->Add();
        Column->SetTitle(Title);
        Column->SetDataIndex(DataIndex);
        Column->SetDataAlignment(Alignment);
        Column->SetWidth(Width);
    };
    AddColumn("Task", 0, taLeftJustify, 140);
    AddColumn("Owner", 1, taLeftJustify, 80);
    AddColumn("Hours", 2, taRightJustify, 60);
    TaskGrid->SetOptions(TaskGrid->Options() | goRowSelect);
    TaskGrid->SetData(&Tasks);

    auto* Selected = new QLabel;
    auto ShowSelected = [TaskGrid, &Tasks, Selected] {
        Selected->setText("Selected: " + Tasks.GetDataText(TaskGrid->DataRow(), 0));
    };
    ShowSelected();
    QObject::connect(TaskGrid, &TZQDataGrid::currentCellChanged, Selected, ShowSelected);

    auto* AddTask = new QPushButton("Add a task");
    QObject::connect(AddTask, &QPushButton::clicked, TaskGrid, [&Tasks] {
        Tasks.Add({QString("Task %1").arg(Tasks.GetRecordCount() + 1), "", 1});
    });

    // Four words of eight bits, kept by the grid itself: type 1 or 0 on a bit, or double-click it.
    auto* Flags = new ZQ::TZQBitGrid;
    Flags->SetDataRows(4);
    Flags->SetDataWords(0, 0x05);
    auto* Changed = new QLabel("Type 1 or 0 on a bit, or double-click it.");
    QObject::connect(Flags, &ZQ::TZQBitGrid::cellDataChanged, Changed, [Flags, Changed](int ACol, int ARow) {
        int DataRow, BitNo;
        Flags->CellToDataCoord(ARow, ACol, DataRow, BitNo);
        Changed->setText(QString("Word %1 is now %2").arg(DataRow).arg(Flags->GetDataWords(DataRow), 2, 16, QChar('0')));
    });

    Layout->addWidget(TaskGrid);
    Layout->addWidget(Selected);
    Layout->addWidget(AddTask);
    Layout->addWidget(Flags);
    Layout->addWidget(Changed);
    Window.resize(360, 420);
    Window.show();

    if (Application.arguments().contains("--quit"))
        QTimer::singleShot(0, &Application, &QApplication::quit);
    return Application.exec();
}
