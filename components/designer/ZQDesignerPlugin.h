#pragma once

#include "framework/Registry.h"

#include <QObject>
#include <QtUiPlugin/QDesignerCustomWidgetCollectionInterface>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>

// One registered component as Qt Designer sees it.
class TZQWidgetInterface : public QObject, public QDesignerCustomWidgetInterface {
    Q_OBJECT
    Q_INTERFACES(QDesignerCustomWidgetInterface)

public:
    TZQWidgetInterface(const TRegisteredComponent& Component, QObject* Parent);

    QString name() const override { return FComponent.Class().ClassName(); }
    QString group() const override { return FComponent.Page(); }
    QString toolTip() const override { return FComponent.Class().Description(); }
    QString whatsThis() const override { return FComponent.Class().Description(); }
    QString includeFile() const override { return FComponent.Class().IncludeFile(); }
    QIcon icon() const override;
    bool isContainer() const override { return false; }
    QWidget* createWidget(QWidget* Parent) override;
    QString domXml() const override;
    bool isInitialized() const override { return FInitialized; }
    void initialize(QDesignerFormEditorInterface* Core) override;

private:
    TRegisteredComponent FComponent;
    bool FInitialized = false;
};

// The palette page "ZQ": every component the library's units register.
class TZQDesignerPlugin : public QObject, public QDesignerCustomWidgetCollectionInterface {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QDesignerCustomWidgetCollectionInterface")
    Q_INTERFACES(QDesignerCustomWidgetCollectionInterface)

public:
    explicit TZQDesignerPlugin(QObject* Parent = nullptr);
    QList<QDesignerCustomWidgetInterface*> customWidgets() const override { return FWidgets; }

private:
    QList<QDesignerCustomWidgetInterface*> FWidgets;
};
