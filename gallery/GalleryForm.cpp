#include "GalleryForm.h"

#include <algorithm>
#include <utility>

namespace {

constexpr int InitialRecords = 20;
constexpr int LoadedRecords = 1000000;

} // namespace

QString TGalleryData::GetDataText(int Record, int DataIndex) const
{
    const TRecord& R = FRecords[size_t(Record)];
    switch (DataIndex) {
    case 0: return QString::number(R.No);
    case 1: return R.Name;
    case 2: return QString::number(R.Value);
    default: return QString();
    }
}

void TGalleryData::Insert(int Index, TRecord Record)
{
    FRecords.insert(FRecords.begin() + Index, std::move(Record));
    RecordInserted(Index);
}

void TGalleryData::Remove(int Index)
{
    FRecords.erase(FRecords.begin() + Index);
    RecordRemoved(Index);
}

void TGalleryData::Change(int Index, int Value)
{
    FRecords[size_t(Index)].Value = Value;
    RecordChanged(Index);
}

void TGalleryData::Load(int Count)
{
    BeginUpdate();
    FRecords.clear();
    FRecords.reserve(size_t(Count));
    // The product of a large index and the step needs more than 32 bits.
    for (int I = 0; I < Count; ++I)
        FRecords.push_back({I + 1, QStringLiteral("Record %1").arg(I + 1), int(std::int64_t(I) * 7919 % 1000)});
    EndUpdate();
}

TGalleryForm::TGalleryForm()
{
    FUi.setupUi(this);
    FStorage = {0x0001, 0x8000, 0x00FF, 0xFF00, 0x5555, 0xAAAA, 0x1234, 0xFFFF};
    FUi.StorageGrid->SetOnExchangeData(ZQ::TExchangeDataEvent(this, &TGalleryForm::StorageGridExchangeData));
    for (int Row = 0; Row < FUi.WordsGrid->DataRows(); ++Row)
        FUi.WordsGrid->SetDataWords(Row, 1 << Row);
    FData.Load(InitialRecords);
    FUi.RecordsGrid->SetData(&FData);
    FUi.NamesGrid->SetData(&FData);
}

void TGalleryForm::btnInsertClick()
{
    const int At = std::max(0, FUi.RecordsGrid->DataRow());
    ++FInserted;
    FData.Insert(std::min(At, FData.GetRecordCount()), {-FInserted, QStringLiteral("New %1").arg(FInserted), 0});
}

void TGalleryForm::btnRemoveClick()
{
    if (FData.GetRecordCount() > 0)
        FData.Remove(std::min(FUi.RecordsGrid->DataRow(), FData.GetRecordCount() - 1));
}

void TGalleryForm::btnChangeClick()
{
    if (FData.GetRecordCount() > 0) {
        const int Row = std::min(FUi.RecordsGrid->DataRow(), FData.GetRecordCount() - 1);
        FData.Change(Row, FData.GetDataText(Row, 2).toInt() + 1);
    }
}

void TGalleryForm::btnLoadClick()
{
    FData.Load(LoadedRecords);
}

void TGalleryForm::StorageGridExchangeData(QObject*, bool Set, int DataRow, int BitNo, bool& Value)
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
