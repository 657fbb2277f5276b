#pragma once

#include <QDialog>
#include <QtDesigner/QDesignerTaskMenuExtension>
#include <QtDesigner/QExtensionFactory>

class QComboBox;
class QExtensionManager;
class QTableWidget;
class TZQDataGrid;

// Makes "Edit Columns..." appear on the task menu of every data grid in Designer.
void RegisterColumnsEditor(QExtensionManager* Manager);

// Edits a data grid's columns as a table, one row per column named by its display name: title,
// both alignments (chosen from a list), data index and width. Columns can be added, deleted and
// moved. The result is the grid's ColumnList, as a form description stores it, and the widths
// as the grid's ColWidthList.
class TZQColumnsEditor : public QDialog {
    Q_OBJECT

public:
    TZQColumnsEditor(const QString& ColumnList, QWidget* Parent = nullptr);
    QString ColumnList() const;
    QString ColWidthList() const;

private:
    void AddColumn();
    void DeleteColumn();
    void MoveColumn(int By);
    void InsertRow(int Row, const QStringList& Texts, int TitleAlignment, int DataAlignment);
    QStringList RowTexts(int Row) const;
    int Alignment(int Row, int Field) const;
    void ShowDisplayNames();

    QTableWidget* FTable;
};

class TZQColumnsTaskMenu : public QObject, public QDesignerTaskMenuExtension {
    Q_OBJECT
    Q_INTERFACES(QDesignerTaskMenuExtension)

public:
    TZQColumnsTaskMenu(TZQDataGrid* Grid, QObject* Parent);
    QAction* preferredEditAction() const override { return FEdit; }
    QList<QAction*> taskActions() const override { return {FEdit}; }

private:
    void EditColumns();

    TZQDataGrid* FGrid;
    QAction* FEdit;
};

class TZQColumnsTaskMenuFactory : public QExtensionFactory {
    Q_OBJECT

public:
    using QExtensionFactory::QExtensionFactory;

protected:
    QObject* createExtension(QObject* Object, const QString& Iid, QObject* Parent) const override;
};
