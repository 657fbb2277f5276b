#pragma once

// Not part of the library's interface: this header is never installed, and what it declares may
// change from one version to the next. Only the library's own code and its tests built in the tree
// include it.
#ifdef ZQ_TESTS_OF_THE_SHARED_LIBRARY
#error "a test of the shared library sees only what a program sees: the installed headers"
#endif

#include "components/ZQGridDataModel.h"
#include "components/ZQGridDataObserver.h"

#include <QHash>
#include <QString>

// What a model over a source holds. It is the model's observer of the source, so that the
// observer's functions are not part of the model's interface.
class TZQGridDataModelPrivate : public TZQGridDataObserver {
public:
    TZQGridDataModelPrivate(TZQGridDataModel* Model, TZQGridData* Data, int ColumnCount);

    void RecordInserted(TZQGridData* Data, int Index) override;
    void RecordRemoved(TZQGridData* Data, int Index) override;
    void RecordChanged(TZQGridData* Data, int Index) override;
    void UpdateBegun(TZQGridData* Data) override;
    void UpdateEnded(TZQGridData* Data) override;
    void SourceDestroyed(TZQGridData* Data) override;

    // The source's count now, 0 without one.
    int SourceCount() const;

    TZQGridDataModel* const FModel;
    TZQGridData* FData;
    const int FColumnCount;
    // The rows the views were told of; the source may already count more or fewer.
    int FRowCount = 0;
    // Between the begin and the end of a reset that a bracket of the source opened.
    bool FResetting = false;
    // While the views are told of a record that the source inserted or removed already, the
    // model's rows still have their old numbers: the source's record for model row Row, or -1
    // for the removed one.
    enum class TShift { None, Inserted, Removed };
    TShift FShift = TShift::None;
    int FShiftIndex = 0;
    int SourceRow(int Row) const;
    QHash<int, QString> FTitles;
};
