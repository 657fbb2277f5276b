#include "components/designer/ZQColumnsEditor.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
#include <QTableWidget>

#include <algorithm>

namespace {

// The columns editor as Designer opens it over a grid's ColumnList, driven through its controls.
class ColumnsEditor : public ::testing::Test {
protected:
    ColumnsEditor()
        : Editor(QStringLiteral(R"([{"DataIndex":0,"Width":40},{"Title":"Name","DataIndex":1,"TitleAlignment":2},)"
                                R"({"DataAlignment":1,"DataIndex":2,"Width":90}])"))
    {
        Table = Editor.findChild<QTableWidget*>();
    }
    QStringList Names() const
    {
        QStringList List;
        for (int Row = 0; Row < Table->rowCount(); ++Row)
            List << Table->verticalHeaderItem(Row)->text();
        return List;
    }
    void Click(const char* Button, int Row)
    {
        Table->setCurrentCell(Row, 0);
        Editor.findChild<QPushButton*>(Button)->click();
    }
    QComboBox* Choice(int Row, int Field) const { return qobject_cast<QComboBox*>(Table->cellWidget(Row, Field)); }
    QJsonArray Columns() const { return QJsonDocument::fromJson(Editor.ColumnList().toUtf8()).array(); }

    TZQColumnsEditor Editor;
    QTableWidget* Table;
};

constexpr int TitleAlignmentField = 1;
constexpr int DataAlignmentField = 2;

} // namespace

TEST_F(ColumnsEditor, ListsTheColumnsByTheirDisplayNamesThroughEveryChange)
{
    ASSERT_NE(Table, nullptr);
    EXPECT_EQ(Names(), QStringList({"Column 0", "Name", "Column 2"}));
    Click("MoveUp", 2);
    EXPECT_EQ(Names(), QStringList({"Column 0", "Column 1", "Name"}));
    Click("Delete", 0);
    EXPECT_EQ(Names(), QStringList({"Column 0", "Name"}));
    Click("Add", 0);
    EXPECT_EQ(Names(), QStringList({"Column 0", "Name", "Column 2"}));
    Table->item(0, 0)->setText(QStringLiteral("Value"));
    EXPECT_EQ(Names(), QStringList({"Value", "Name", "Column 2"}));
    // The list becomes the grid's columns in the new order, each with what it had.
    const QJsonArray List = Columns();
    ASSERT_EQ(List.size(), 3);
    EXPECT_EQ(List[0].toObject().value("DataIndex").toInt(), 2);
    EXPECT_EQ(List[0].toObject().value("DataAlignment").toInt(), 1);
    EXPECT_EQ(List[1].toObject().value("Title").toString(), "Name");
    EXPECT_EQ(List[1].toObject().value("TitleAlignment").toInt(), 2);
    EXPECT_EQ(List[2].toObject().value("DataIndex").toInt(-1), -1);
    EXPECT_EQ(Editor.ColWidthList(), "90 64 64");
}

TEST_F(ColumnsEditor, AlignmentsAreChosenFromAListOfTheThree)
{
    ASSERT_NE(Choice(1, TitleAlignmentField), nullptr);
    EXPECT_EQ(Choice(1, TitleAlignmentField)->count(), 3);
    EXPECT_EQ(Choice(1, TitleAlignmentField)->currentIndex(), 2);
    EXPECT_EQ(Choice(2, DataAlignmentField)->currentIndex(), 1);
    Choice(0, DataAlignmentField)->setCurrentIndex(2);
    Choice(1, TitleAlignmentField)->setCurrentIndex(0);
    Click("MoveDown", 0);
    const QJsonArray List = Columns();
    EXPECT_FALSE(List[0].toObject().contains("TitleAlignment"));
    EXPECT_EQ(List[1].toObject().value("DataAlignment").toInt(), 2);
    EXPECT_EQ(List[1].toObject().value("Width").toInt(), 40);
}

TEST_F(ColumnsEditor, EveryColumnTitleIsShownWholeInTheOpenedDialog)
{
    Editor.show();
    const QHeaderView* Header = Table->horizontalHeader();
    int Right = 0;
    for (int Field = 0; Field < Table->columnCount(); ++Field) {
        EXPECT_GE(Header->sectionSize(Field), Header->sectionSizeHint(Field)) << Table->horizontalHeaderItem(Field)->text().toStdString();
        Right = std::max(Right, Header->sectionViewportPosition(Field) + Header->sectionSizeHint(Field));
    }
    EXPECT_LE(Right, Table->viewport()->width()) << "the dialog cuts off the last titles";
}
