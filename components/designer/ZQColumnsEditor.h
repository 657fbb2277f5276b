#pragma once

#include <QDialog>
#include <QtDesigner/QDesignerTaskMenuExtension>
#include <QtDesigner/QExtensionFactory>

class QExtensionManager;
class QTableWidget;
class TZQDataGrid;

// Makes "Edit Columns..." appear on the task menu of every data grid in Designer.
void RegisterColumnsEditor(QExtensionManager* Manager);

// Edits a data grid's columns as a table: title, both alignments, data index and width. The result
// is the grid's ColumnList, as a form description stores it.
class TZQColumnsEditor : public QDialog {
    Q_OBJECT

public:
    TZQColumnsEditor(const QString& ColumnList, QWidget* Parent = nullptr);
    QString ColumnList() const;

private:
    void AddRow();
    void RemoveRow();

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
