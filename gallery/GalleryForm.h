// The gallery's window: a bit grid over the application's own storage, a bit grid over its own
// words, and two data grids sharing one source, with buttons that change the source.
#pragma once

#include "components/ZQDataGrid.h"
#include "ui_GalleryForm.h"

#include <QWidget>

#include <array>
#include <cstdint>
#include <vector>

// The records both data grids show: a number, a name and a value.
class TGalleryData : public TZQGridData {
public:
    struct TRecord {
        int No;
        QString Name;
        int Value;
    };

    int GetRecordCount() const override { return int(FRecords.size()); }
    QString GetDataText(int Record, int DataIndex) const override;

    void Insert(int Index, TRecord Record);
    void Remove(int Index);
    void Change(int Index, int Value);
    void Load(int Count);

private:
    std::vector<TRecord> FRecords;
};

class TGalleryForm : public QWidget {
    Q_OBJECT

public:
    TGalleryForm();

public slots:
    void btnInsertClick();
    void btnRemoveClick();
    void btnChangeClick();
    void btnLoadClick();

private:
    void StorageGridExchangeData(QObject* Sender, bool Set, int DataRow, int BitNo, bool& Value);

    Ui::GalleryForm FUi;
    // The bits of the first grid live here, word by word.
    std::array<std::uint16_t, 8> FStorage{};
    TGalleryData FData;
    int FInserted = 0;
};
