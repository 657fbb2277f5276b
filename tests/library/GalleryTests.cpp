#include "GalleryForm.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <algorithm>

namespace {

// Every button of the gallery once, in the window's order: after each, both data grids have a
// row for every record of their shared source.
TEST(GalleryButtons, EachLeavesBothDataGridsShowingEveryRecord)
{
    TGalleryForm Form;
    Form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form));
    const QList<TZQDataGrid*> Grids = Form.findChildren<TZQDataGrid*>();
    ASSERT_EQ(Grids.size(), 2);
    TZQGridData* Source = Grids[0]->Data();
    ASSERT_NE(Source, nullptr);
    auto ExpectEveryRecordShown = [&](const QString& After) {
        for (TZQDataGrid* Grid : Grids) {
            EXPECT_EQ(Grid->Data(), Source) << After.toStdString();
            EXPECT_EQ(Grid->RowCount() - Grid->FixedRows(), std::max(1, Source->GetRecordCount()))
                << Grid->objectName().toStdString() << " after " << After.toStdString();
        }
    };
    ExpectEveryRecordShown(QStringLiteral("start"));
    ASSERT_GT(Source->GetRecordCount(), 0);

    const QList<QPushButton*> Buttons = Form.findChildren<QPushButton*>();
    ASSERT_EQ(Buttons.size(), 4);
    for (QPushButton* Button : Buttons) {
        const QString Name = Button->objectName();
        const int Before = Source->GetRecordCount();
        const QString CurrentValue = Source->GetDataText(Grids[0]->DataRow(), 2);
        Button->click();
        ExpectEveryRecordShown(Name);
        const int After = Source->GetRecordCount();
        if (Name == QLatin1String("btnInsert")) {
            EXPECT_EQ(After, Before + 1);
        } else if (Name == QLatin1String("btnRemove")) {
            EXPECT_EQ(After, Before - 1);
        } else if (Name == QLatin1String("btnChange")) {
            EXPECT_EQ(After, Before);
            EXPECT_EQ(Source->GetDataText(Grids[0]->DataRow(), 2).toInt(), CurrentValue.toInt() + 1);
        } else if (Name == QLatin1String("btnLoad")) {
            // The caption promises the count, digits grouped.
            EXPECT_EQ(After, Button->text().remove(QRegularExpression(QStringLiteral("[^0-9]"))).toInt());
            for (int Record : {0, After / 2, After - 1}) {
                const int Value = Source->GetDataText(Record, 2).toInt();
                EXPECT_TRUE(Value >= 0 && Value < 1000) << Record << ": " << Value;
            }
        } else {
            ADD_FAILURE() << "a button this test does not know: " << Name.toStdString();
        }
    }
}

} // namespace
