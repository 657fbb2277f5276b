#include "components/designer/ZQColumnsEditor.h"

#include "components/ZQDataGrid.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QtDesigner/QDesignerFormWindowCursorInterface>
#include <QtDesigner/QDesignerFormWindowInterface>
#include <QtDesigner/QExtensionManager>

namespace {

enum TField { TitleField, TitleAlignmentField, DataAlignmentField, DataIndexField, WidthField, FieldCount };

const char* const AlignmentNames[] = {"Left", "Right", "Center"};

QString AlignmentName(int Alignment)
{
    return QString::fromLatin1(AlignmentNames[std::clamp(Alignment, 0, 2)]);
}

int AlignmentOf(const QString& Name)
{
    for (int I = 0; I < 3; ++I)
        if (Name.trimmed().compare(QLatin1String(AlignmentNames[I]), Qt::CaseInsensitive) == 0)
            return I;
    return 0;
}

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
    for (const QJsonValue& Entry : QJsonDocument::fromJson(ColumnList.toUtf8()).array()) {
        const QJsonObject Column = Entry.toObject();
        AddRow();
        const int Row = FTable->rowCount() - 1;
        FTable->item(Row, TitleField)->setText(Column.value(QStringLiteral("Title")).toString());
        FTable->item(Row, TitleAlignmentField)->setText(AlignmentName(Column.value(QStringLiteral("TitleAlignment")).toInt()));
        FTable->item(Row, DataAlignmentField)->setText(AlignmentName(Column.value(QStringLiteral("DataAlignment")).toInt()));
        FTable->item(Row, DataIndexField)->setText(QString::number(Column.value(QStringLiteral("DataIndex")).toInt(-1)));
        FTable->item(Row, WidthField)->setText(QString::number(Column.value(QStringLiteral("Width")).toInt(64)));
    }
    auto* Add = new QPushButton(tr("Add"), this);
    auto* Remove = new QPushButton(tr("Remove"), this);
    connect(Add, &QPushButton::clicked, this, &TZQColumnsEditor::AddRow);
    connect(Remove, &QPushButton::clicked, this, &TZQColumnsEditor::RemoveRow);
    auto* Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* Row = new QHBoxLayout;
    Row->addWidget(Add);
    Row->addWidget(Remove);
    Row->addStretch();
    auto* Layout = new QVBoxLayout(this);
    Layout->addWidget(FTable);
    Layout->addLayout(Row);
    Layout->addWidget(Buttons);
    resize(560, 320);
}

void TZQColumnsEditor::AddRow()
{
    const int Row = FTable->rowCount();
    FTable->insertRow(Row);
    const QStringList Defaults = {QString(), AlignmentName(0), AlignmentName(0), QStringLiteral("-1"), QStringLiteral("64")};
    for (int Field = 0; Field < FieldCount; ++Field)
        FTable->setItem(Row, Field, new QTableWidgetItem(Defaults[Field]));
}

void TZQColumnsEditor::RemoveRow()
{
    if (FTable->currentRow() >= 0)
        FTable->removeRow(FTable->currentRow());
}

QString TZQColumnsEditor::ColumnList() const
{
    QJsonArray List;
    for (int Row = 0; Row < FTable->rowCount(); ++Row) {
        QJsonObject Column;
        if (const QString Title = Cell(FTable, Row, TitleField); !Title.isEmpty())
            Column.insert(QStringLiteral("Title"), Title);
        if (const int A = AlignmentOf(Cell(FTable, Row, TitleAlignmentField)); A != 0)
            Column.insert(QStringLiteral("TitleAlignment"), A);
        if (const int A = AlignmentOf(Cell(FTable, Row, DataAlignmentField)); A != 0)
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
    // Through the form window, so that the change is saved with the form and can be undone.
    if (QDesignerFormWindowInterface* Form = QDesignerFormWindowInterface::findFormWindow(FGrid))
        Form->cursor()->setWidgetProperty(FGrid, QStringLiteral("ColumnList"), Editor.ColumnList());
    else
        FGrid->SetColumnList(Editor.ColumnList());
}

QObject* TZQColumnsTaskMenuFactory::createExtension(QObject* Object, const QString& Iid, QObject* Parent) const
{
    auto* Grid = qobject_cast<TZQDataGrid*>(Object);
    if (!Grid || Iid != Q_TYPEID(QDesignerTaskMenuExtension))
        return nullptr;
    return new TZQColumnsTaskMenu(Grid, Parent);
}
