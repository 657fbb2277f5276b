#include "components/ZQBitGrid.h"
#include "components/ZQDataGrid.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QWidget>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaProperty>
#include <QPluginLoader>
#include <QUiLoader>
#include <QXmlStreamReader>
#include <QtUiPlugin/QDesignerCustomWidgetCollectionInterface>

#include <memory>

// The plugin as Designer would load it, but without a running Designer.
class DesignerPlugin : public ::testing::Test {
protected:
    void SetUp() override
    {
        Loader.setFileName(QStringLiteral(ZQ_DESIGNER_PLUGIN));
        ASSERT_TRUE(Loader.load()) << Loader.errorString().toStdString();
        Collection = qobject_cast<QDesignerCustomWidgetCollectionInterface*>(Loader.instance());
        ASSERT_NE(Collection, nullptr);
    }
    QDesignerCustomWidgetInterface* Find(const QString& Name) const
    {
        for (QDesignerCustomWidgetInterface* Widget : Collection->customWidgets())
            if (Widget->name() == Name)
                return Widget;
        return nullptr;
    }

    QPluginLoader Loader;
    QDesignerCustomWidgetCollectionInterface* Collection = nullptr;
};

TEST_F(DesignerPlugin, OffersBothGridsOnThePageZQ)
{
    ASSERT_EQ(Collection->customWidgets().size(), 2);
    for (const QString& Name : {QStringLiteral("ZQ::TZQBitGrid"), QStringLiteral("TZQDataGrid")}) {
        QDesignerCustomWidgetInterface* Widget = Find(Name);
        ASSERT_NE(Widget, nullptr) << Name.toStdString();
        EXPECT_EQ(Widget->group(), "ZQ");
        EXPECT_FALSE(Widget->toolTip().isEmpty());
        EXPECT_FALSE(Widget->icon().isNull());
        EXPECT_TRUE(Widget->domXml().contains("class=\"" + Name + "\""));
        EXPECT_TRUE(Widget->includeFile().startsWith("zq/"));
        std::unique_ptr<QWidget> Made(Widget->createWidget(nullptr));
        ASSERT_NE(Made, nullptr);
        EXPECT_EQ(QString::fromLatin1(Made->metaObject()->className()), Name);
    }
}

// The data grid's columns and widths are data: Designer must write them untranslatable, so that
// retranslateUi leaves them alone.
TEST_F(DesignerPlugin, TheDataGridsColumnsAndWidthsAreNoTexts)
{
    for (const QString& Name : {QStringLiteral("ZQ::TZQBitGrid"), QStringLiteral("TZQDataGrid")}) {
        QDesignerCustomWidgetInterface* Widget = Find(Name);
        ASSERT_NE(Widget, nullptr);
        QXmlStreamReader Xml(Widget->domXml());
        QStringList Untranslated;
        while (!Xml.atEnd())
            if (Xml.readNext() == QXmlStreamReader::StartElement && Xml.name() == u"stringpropertyspecification" &&
                Xml.attributes().value("notr") == u"true")
                Untranslated << Xml.attributes().value("name").toString();
        EXPECT_FALSE(Xml.hasError()) << Xml.errorString().toStdString();
        EXPECT_EQ(Untranslated, Name == "TZQDataGrid" ? QStringList({"ColumnList", "ColWidthList"}) : QStringList());
    }
}

namespace {

// The value of an option set or a choice by the names a form file gives it.
QByteArray KeysOf(const QObject& Object, const char* Name)
{
    const QMetaProperty Property = Object.metaObject()->property(Object.metaObject()->indexOfProperty(Name));
    const int Value = Property.read(&Object).toInt();
    return Property.isFlagType() ? Property.enumerator().valueToKeys(Value)
                                 : QByteArray(Property.enumerator().valueToKey(Value));
}

} // namespace

TEST_F(DesignerPlugin, AFormFileSetsPropertiesAndColumns)
{
    QUiLoader Ui;
    Ui.clearPluginPaths();
    Ui.addPluginPath(QStringLiteral(ZQ_PLUGIN_FOLDER));
    QFile File(QStringLiteral(ZQ_TEST_FORM));
    ASSERT_TRUE(File.open(QIODevice::ReadOnly));
    std::unique_ptr<QWidget> Form(Ui.load(&File));
    ASSERT_NE(Form, nullptr) << Ui.errorString().toStdString();

    // The plugin and this program share libzq, so the loaded widgets are of this program's classes.
    QWidget* Bits = Form->findChild<QWidget*>("BitGrid");
    ASSERT_NE(Bits, nullptr);
    ZQ::TZQBitGrid* BitGrid = qobject_cast<ZQ::TZQBitGrid*>(Bits);
    ASSERT_NE(BitGrid, nullptr) << Bits->metaObject()->className();
    EXPECT_EQ(BitGrid->DataCols(), 16);
    EXPECT_EQ(Bits->property("DataCols").toInt(), 16);
    EXPECT_EQ(Bits->property("DataRows").toInt(), 4);
    EXPECT_EQ(Bits->property("Text1").toString(), "X");
    EXPECT_EQ(Bits->property("Text0").toString(), "0");
    EXPECT_EQ(Bits->property("WordAddressTitleOffset").toInt(), 256);
    EXPECT_EQ(KeysOf(*Bits, "Options"), "goFixedVertLine|goFixedHorzLine|goRowSelect");
    EXPECT_EQ(KeysOf(*Bits, "ScrollBars"), "ssVertical");

    QWidget* Data = Form->findChild<QWidget*>("DataGrid");
    ASSERT_NE(Data, nullptr);
    TZQDataGrid* DataGrid = qobject_cast<TZQDataGrid*>(Data);
    ASSERT_NE(DataGrid, nullptr) << Data->metaObject()->className();
    EXPECT_EQ(DataGrid->Columns()->Count(), 3);
    EXPECT_TRUE(Data->property("FollowNewRecords").toBool());
    EXPECT_EQ(KeysOf(*Data, "Options"), "goVertLine|goHorzLine|goColSizing");
    EXPECT_EQ(KeysOf(*Data, "ScrollBars"), "ssNone");
    EXPECT_EQ(Data->property("ColWidthList").toString(), "40 150 90");
    const QJsonArray Columns = QJsonDocument::fromJson(Data->property("ColumnList").toString().toUtf8()).array();
    ASSERT_EQ(Columns.size(), 3);
    EXPECT_EQ(Columns[1].toObject().value("Title").toString(), "Name");
    EXPECT_EQ(Columns[2].toObject().value("TitleAlignment").toInt(), 2);
    EXPECT_EQ(Columns[0].toObject().value("DataAlignment").toInt(), 1);
    EXPECT_EQ(Columns[2].toObject().value("DataIndex").toInt(), 2);
    // The columns report the grid's widths: the form gave the grid its own, which win over those
    // given with the columns although the grid had only two columns when it read them.
    EXPECT_EQ(Columns[1].toObject().value("Width").toInt(), 150);
}
