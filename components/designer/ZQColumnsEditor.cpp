#include "components/designer/ZQColumnsEditor.h"

#include "components/ZQDataGrid.h"

#include <QAction>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QUndoStack>
#include <QVBoxLayout>
#include <QtDesigner/QDesignerFormWindowCursorInterface>
#include <QtDesigner/QDesignerFormWindowInterface>
#include <QtDesigner/QExtensionManager>

#include <algorithm>
#include <utility>

namespace {

enum TField { TitleField, TitleAlignmentField, DataAlignmentField, DataIndexField, WidthField, FieldCount };

const char* const AlignmentNames[] = {"Left", "Right", "Center"};
constexpr int AlignmentCount = 3;
constexpr int NewColumnWidth = 64;
constexpr int MinTitleWidth = 150;

QString Cell(const QTableWidget* Table, int Row, int Field)
{
    const QTableWidgetItem* Item = Table->item(Row, Field);
    return Item ? Item->text() : QString();
}

} // namespace

void RegisterColumnsEditor(QExtensionManager* Manager)
{
    Manager->registerExtensions(new TZQColumnsTaskMenuFactory(Manager), Q_TYPEID(QDesignerTaskMenuExtension));
}

TZQColumnsEditor::TZQColumnsEditor(const QString& ColumnList, QWidget* Parent) : QDialog(Parent)
{
    setWindowTitle(tr("Edit Columns"));
    FTable = new QTableWidget(0, FieldCount, this);
    FTable->setHorizontalHeaderLabels({tr("Title"), tr("Title alignment"), tr("Data alignment"), tr("Data index"), tr("Width")});
    FTable->horizontalHeader()->setStretchLastSection(true);
    FTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    FTable->setSelectionMode(QAbstractItemView::SingleSelection);
    for (const QJsonValue& Entry : QJsonDocument::fromJson(ColumnList.toUtf8()).array()) {
        const QJsonObject Column = Entry.toObject();
        InsertRow(FTable->rowCount(),
                  {Column.value(QStringLiteral("Title")).toString(), QString(), QString(),
                   QString::number(Column.value(QStringLiteral("DataIndex")).toInt(-1)),
                   QString::number(Column.value(QStringLiteral("Width")).toInt(NewColumnWidth))},
                  Column.value(QStringLiteral("TitleAlignment")).toInt(), Column.value(QStringLiteral("DataAlignment")).toInt());
    }
    ShowDisplayNames();
    // A title gives the column its display name.
    connect(FTable, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* Item) {
        if (Item->column() == TitleField)
            ShowDisplayNames();
    });
    auto Button = [this](const QString& Text, const char* Name, auto Action) {
        auto* Made = new QPushButton(Text, this);
        Made->setObjectName(QLatin1String(Name));
        connect(Made, &QPushButton::clicked, this, Action);
        return Made;
    };
    auto* Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* Row = new QHBoxLayout;
    Row->addWidget(Button(tr("Add"), "Add", &TZQColumnsEditor::AddColumn));
    Row->addWidget(Button(tr("Delete"), "Delete", &TZQColumnsEditor::DeleteColumn));
    Row->addWidget(Button(tr("Move Up"), "MoveUp", [this] { MoveColumn(-1); }));
    Row->addWidget(Button(tr("Move Down"), "MoveDown", [this] { MoveColumn(1); }));
    Row->addStretch();
    auto* Layout = new QVBoxLayout(this);
    Layout->addWidget(FTable);
    Layout->addLayout(Row);
    Layout->addWidget(Buttons);
    // Every column as wide as its title and its cells need, the title column a little wider, and
    // the dialog wide enough to show them all.
    FTable->resizeColumnsToContents();
    FTable->setColumnWidth(TitleField, std::max(FTable->columnWidth(TitleField), MinTitleWidth));
    int Needed = FTable->verticalHeader()->sizeHint().width() + 2 * FTable->frameWidth();
    for (int Field = 0; Field < FieldCount; ++Field)
        Needed += FTable->columnWidth(Field);
    const QMargins Margins = Layout->contentsMargins();
    resize(std::max(600, Needed + Margins.left() + Margins.right()), 320);
}

void TZQColumnsEditor::InsertRow(int Row, const QStringList& Texts, int TitleAlignment, int DataAlignment)
{
    const QSignalBlocker Quiet(FTable);
    FTable->insertRow(Row);
    for (int Field : {TitleField, DataIndexField, WidthField})
        FTable->setItem(Row, Field, new QTableWidgetItem(Texts.value(Field)));
    for (const auto& [Field, Value] : {std::pair{TitleAlignmentField, TitleAlignment}, std::pair{DataAlignmentField, DataAlignment}}) {
        auto* Choice = new QComboBox(FTable);
        for (const char* Name : AlignmentNames)
            Choice->addItem(tr(Name));
        Choice->setCurrentIndex(std::clamp(Value, 0, AlignmentCount - 1));
        FTable->setCellWidget(Row, Field, Choice);
    }
}

QStringList TZQColumnsEditor::RowTexts(int Row) const
{
    QStringList Texts;
    for (int Field = 0; Field < FieldCount; ++Field)
        Texts << Cell(FTable, Row, Field);
    return Texts;
}

int TZQColumnsEditor::Alignment(int Row, int Field) const
{
    const auto* Choice = qobject_cast<const QComboBox*>(FTable->cellWidget(Row, Field));
    return Choice ? std::max(Choice->currentIndex(), 0) : 0;
}

// The names the grid's columns give themselves, so that the list reads as the columns do.
void TZQColumnsEditor::ShowDisplayNames()
{
    TZQDataGridColumns Columns(nullptr);
    QStringList Names;
    for (int Row = 0; Row < FTable->rowCount(); ++Row) {
        TZQDataGridColumn* Column = Columns.Add();
        Column->SetTitle(Cell(FTable, Row, TitleField));
        Names << Column->GetDisplayName();
    }
    FTable->setVerticalHeaderLabels(Names);
}

void TZQColumnsEditor::AddColumn()
{
    const int Row = FTable->rowCount();
    InsertRow(Row, {QString(), QString(), QString(), QStringLiteral("-1"), QString::number(NewColumnWidth)}, 0, 0);
    ShowDisplayNames();
    FTable->setCurrentCell(Row, TitleField);
}

void TZQColumnsEditor::DeleteColumn()
{
    const int Row = FTable->currentRow();
    if (Row < 0)
        return;
    FTable->removeRow(Row);
    ShowDisplayNames();
    if (FTable->rowCount() > 0)
        FTable->setCurrentCell(std::min(Row, FTable->rowCount() - 1), TitleField);
}

void TZQColumnsEditor::MoveColumn(int By)
{
    const int Row = FTable->currentRow();
    const int To = Row + By;
    if (Row < 0 || To < 0 || To >= FTable->rowCount())
        return;
    const QStringList Texts = RowTexts(Row);
    const int TitleAlignment = Alignment(Row, TitleAlignmentField);
    const int DataAlignment = Alignment(Row, DataAlignmentField);
    FTable->removeRow(Row);
    InsertRow(To, Texts, TitleAlignment, DataAlignment);
    ShowDisplayNames();
    FTable->setCurrentCell(To, TitleField);
}

QString TZQColumnsEditor::ColumnList() const
{
    QJsonArray List;
    for (int Row = 0; Row < FTable->rowCount(); ++Row) {
        QJsonObject Column;
        if (const QString Title = Cell(FTable, Row, TitleField); !Title.isEmpty())
            Column.insert(QStringLiteral("Title"), Title);
        if (const int A = Alignment(Row, TitleAlignmentField); A != 0)
            Column.insert(QStringLiteral("TitleAlignment"), A);
        if (const int A = Alignment(Row, DataAlignmentField); A != 0)
            Column.insert(QStringLiteral("DataAlignment"), A);
        bool Ok = false;
        if (const int Index = Cell(FTable, Row, DataIndexField).toInt(&Ok); Ok && Index != -1)
            Column.insert(QStringLiteral("DataIndex"), Index);
        if (const int Width = Cell(FTable, Row, WidthField).toInt(&Ok); Ok && Width > 0)
            Column.insert(QStringLiteral("Width"), Width);
        List.append(Column);
    }
    return QString::fromUtf8(QJsonDocument(List).toJson(QJsonDocument::Compact));
}

QString TZQColumnsEditor::ColWidthList() const
{
    QStringList Widths;
    for (int Row = 0; Row < FTable->rowCount(); ++Row) {
        bool Ok = false;
        const int Width = Cell(FTable, Row, WidthField).toInt(&Ok);
        Widths << QString::number(Ok && Width > 0 ? Width : NewColumnWidth);
    }
    return Widths.join(u' ');
}

TZQColumnsTaskMenu::TZQColumnsTaskMenu(TZQDataGrid* Grid, QObject* Parent)
    : QObject(Parent), FGrid(Grid), FEdit(new QAction(tr("Edit Columns..."), this))
{
    connect(FEdit, &QAction::triggered, this, &TZQColumnsTaskMenu::EditColumns);
}

void TZQColumnsTaskMenu::EditColumns()
{
    TZQColumnsEditor Editor(FGrid->ColumnList(), FGrid->window());
    if (Editor.exec() != QDialog::Accepted)
        return;
    // Through the form window, so that the change is saved with the form and can be undone. The
    // grid's own widths win over the columns', so they are set too, in the same undo step.
    QDesignerFormWindowInterface* Form = QDesignerFormWindowInterface::findFormWindow(FGrid);
    if (!Form) {
        FGrid->SetColumnList(Editor.ColumnList());
        FGrid->SetColWidthList(Editor.ColWidthList());
        return;
    }
    Form->commandHistory()->beginMacro(tr("Edit Columns"));
    Form->cursor()->setWidgetProperty(FGrid, QStringLiteral("ColumnList"), Editor.ColumnList());
    Form->cursor()->setWidgetProperty(FGrid, QStringLiteral("ColWidthList"), Editor.ColWidthList());
    Form->commandHistory()->endMacro();
}

QObject* TZQColumnsTaskMenuFactory::createExtension(QObject* Object, const QString& Iid, QObject* Parent) const
{
    auto* Grid = qobject_cast<TZQDataGrid*>(Object);
    if (!Grid || Iid != Q_TYPEID(QDesignerTaskMenuExtension))
        return nullptr;
    return new TZQColumnsTaskMenu(Grid, Parent);
}
