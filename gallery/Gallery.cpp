// A small program that shows the library's grids at work: a bit grid over the application's own
// storage, a bit grid over its own words, and two data grids sharing one source.
#include "components/ZQBitGrid.h"
#include "components/ZQDataGrid.h"
#include "framework/Application.h"
#include "ui_GalleryForm.h"

#include <QWidget>

#include <array>
#include <cstdint>
#include <vector>

namespace {

// The records both data grids show: a number, a name and a value.
class TGalleryData : public TZQGridData {
public:
    struct TRecord {
        int No;
        QString Name;
        int Value;
    };

    int GetRecordCount() const override { return int(FRecords.size()); }
    QString GetDataText(int Record, int DataIndex) const override
    {
        const TRecord& R = FRecords[size_t(Record)];
        switch (DataIndex) {
        case 0: return QString::number(R.No);
        case 1: return R.Name;
        case 2: return QString::number(R.Value);
        default: return QString();
        }
    }

    void Insert(int Index, TRecord Record)
    {
        FRecords.insert(FRecords.begin() + Index, std::move(Record));
        RecordInserted(Index);
    }
    void Remove(int Index)
    {
        FRecords.erase(FRecords.begin() + Index);
        RecordRemoved(Index);
    }
    void Change(int Index, int Value)
    {
        FRecords[size_t(Index)].Value = Value;
        RecordChanged(Index);
    }
    void Load(int Count)
    {
        BeginUpdate();
        FRecords.clear();
        FRecords.reserve(size_t(Count));
        for (int I = 0; I < Count; ++I)
            FRecords.push_back({I + 1, QStringLiteral("Record %1").arg(I + 1), (I * 7919) % 1000});
        EndUpdate();
    }

private:
    std::vector<TRecord> FRecords;
};

class TGalleryForm : public QWidget {
    Q_OBJECT

public:
    TGalleryForm()
    {
        FUi.setupUi(this);
        FStorage = {0x0001, 0x8000, 0x00FF, 0xFF00, 0x5555, 0xAAAA, 0x1234, 0xFFFF};
        FUi.StorageGrid->SetOnExchangeData(ZQ::TExchangeDataEvent(this, &TGalleryForm::StorageGridExchangeData));
        for (int Row = 0; Row < FUi.WordsGrid->DataRows(); ++Row)
            FUi.WordsGrid->SetDataWords(Row, 1 << Row);
        FData.Load(20);
        FUi.RecordsGrid->SetData(&FData);
        FUi.NamesGrid->SetData(&FData);
    }

public slots:
    void btnInsertClick()
    {
        const int At = std::max(0, FUi.RecordsGrid->DataRow());
        ++FInserted;
        FData.Insert(std::min(At, FData.GetRecordCount()), {-FInserted, QStringLiteral("New %1").arg(FInserted), 0});
    }
    void btnRemoveClick()
    {
        if (FData.GetRecordCount() > 0)
            FData.Remove(std::min(FUi.RecordsGrid->DataRow(), FData.GetRecordCount() - 1));
    }
    void btnChangeClick()
    {
        if (FData.GetRecordCount() > 0) {
            const int Row = std::min(FUi.RecordsGrid->DataRow(), FData.GetRecordCount() - 1);
            FData.Change(Row, FData.GetDataText(Row, 2).toInt() + 1);
        }
    }
    void btnLoadClick() { FData.Load(1000000); }

private:
    // The bits of the first grid live here, word by word.
    void StorageGridExchangeData(QObject*, bool Set, int DataRow, int BitNo, bool& Value)
    {
        std::uint16_t& Word = FStorage[size_t(DataRow)];
        const std::uint16_t Mask = std::uint16_t(1u << (BitNo & 15));
        if (!Set)
            Value = Word & Mask;
        else if (Value)
            Word |= Mask;
        else
            Word &= std::uint16_t(~Mask);
    }

    Ui::GalleryForm FUi;
    std::array<std::uint16_t, 8> FStorage{};
    TGalleryData FData;
    int FInserted = 0;
};

} // namespace

int main(int Argc, char** Argv)
{
    TApplication Application(Argc, Argv);
    TApplication::SetTitle(QStringLiteral("ZQ Gallery"));
    TGalleryForm Form;
    Form.show();
    return Application.exec();
}

#include "Gallery.moc"
