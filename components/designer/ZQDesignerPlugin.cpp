#include "components/designer/ZQDesignerPlugin.h"

#include "components/ZQBitGrid.h"
#include "components/ZQDataGrid.h"
#include "components/designer/ZQColumnsEditor.h"

#include <QPainter>
#include <QPixmap>
#include <QtDesigner/QDesignerFormEditorInterface>
#include <QtDesigner/QExtensionManager>

namespace {

// A small grid drawn as the palette icon: a title row, a title column and a few cells.
QIcon GridIcon(bool Bits)
{
    QPixmap Picture(22, 22);
    Picture.fill(Qt::white);
    QPainter Painter(&Picture);
    Painter.fillRect(0, 0, 22, 6, QColor(0xD4, 0xD0, 0xC8));
    Painter.fillRect(0, 0, 6, 22, QColor(0xD4, 0xD0, 0xC8));
    Painter.setPen(Qt::gray);
    for (int I = 0; I <= 21; I += 5) {
        Painter.drawLine(I, 0, I, 21);
        Painter.drawLine(0, I, 21, I);
    }
    Painter.setPen(Qt::black);
    if (Bits)
        for (int Row = 1; Row < 4; ++Row)
            for (int Col = 1; Col < 4; ++Col)
                if ((Row + Col) % 2)
                    Painter.fillRect(Col * 5 + 2, Row * 5 + 2, 2, 2, Qt::black);
    return QIcon(Picture);
}

QString ObjectName(const QString& ClassName)
{
    // "ZQ::TZQBitGrid" is offered as "ZQBitGrid", which Designer numbers.
    QString Name = ClassName.section(QStringLiteral("::"), -1);
    if (Name.startsWith(u'T'))
        Name.remove(0, 1);
    return Name;
}

} // namespace

TZQWidgetInterface::TZQWidgetInterface(const TRegisteredComponent& Component, QObject* Parent)
    : QObject(Parent), FComponent(Component)
{
}

QIcon TZQWidgetInterface::icon() const
{
    return GridIcon(FComponent.Class().ClassName().contains(QStringLiteral("BitGrid")));
}

QWidget* TZQWidgetInterface::createWidget(QWidget* Parent)
{
    return FComponent.Class().Create(Parent);
}

QString TZQWidgetInterface::domXml() const
{
    // The columns and the column widths are data, not texts: marked so, they are neither offered
    // to translators nor set again by retranslateUi, which would reload the columns and their widths.
    QString UntranslatedProperties;
    if (FComponent.Class().ClassName() == QStringLiteral("TZQDataGrid"))
        UntranslatedProperties = QStringLiteral(" <customwidgets>\n"
                                        "  <customwidget>\n"
                                        "   <class>%1</class>\n"
                                        "   <propertyspecifications>\n"
                                        "    <stringpropertyspecification name=\"ColumnList\" notr=\"true\" type=\"singleline\"/>\n"
                                        "    <stringpropertyspecification name=\"ColWidthList\" notr=\"true\" type=\"singleline\"/>\n"
                                        "   </propertyspecifications>\n"
                                        "  </customwidget>\n"
                                        " </customwidgets>\n")
                             .arg(FComponent.Class().ClassName());
    return QStringLiteral("<ui language=\"c++\">\n"
                          " <widget class=\"%1\" name=\"%2\">\n"
                          "  <property name=\"geometry\"><rect><x>0</x><y>0</y><width>320</width>"
                          "<height>200</height></rect></property>\n"
                          " </widget>\n"
                          "%3"
                          "</ui>\n")
        .arg(FComponent.Class().ClassName(), ObjectName(FComponent.Class().ClassName()), UntranslatedProperties);
}

void TZQWidgetInterface::initialize(QDesignerFormEditorInterface* Core)
{
    if (FInitialized)
        return;
    FInitialized = true;
    if (FComponent.Class().ClassName() == QStringLiteral("TZQDataGrid") && Core && Core->extensionManager())
        RegisterColumnsEditor(Core->extensionManager());
}

TZQDesignerPlugin::TZQDesignerPlugin(QObject* Parent) : QObject(Parent)
{
    ZQBitGrid::Register();
    ZQDataGrid::Register();
    for (const TRegisteredComponent& Component : RegisteredComponents())
        if (Component.Page() == QStringLiteral("ZQ"))
            FWidgets.append(new TZQWidgetInterface(Component, this));
}
