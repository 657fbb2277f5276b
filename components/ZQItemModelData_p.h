#pragma once

// Not part of the library's interface: this header is never installed, and what it declares may
// change from one version to the next. Only the library's own code and its tests built in the tree
// include it.
#ifdef ZQ_TESTS_OF_THE_SHARED_LIBRARY
#error "a test of the shared library sees only what a program sees: the installed headers"
#endif

#include "components/ZQItemModelData.h"

#include <QAbstractItemModel>
#include <QList>
#include <QObject>
#include <QPersistentModelIndex>
#include <QPointer>

#include <vector>

// What a source over an item model holds.
class TZQItemModelDataPrivate {
public:
    TZQItemModelDataPrivate(TZQItemModelData* Data, QAbstractItemModel* Model);

    // Each grid's current record, held while the model moves rows under it.
    struct TCurrent {
        QPointer<TZQDataGrid> Grid;
        QPersistentModelIndex Record;
    };
    // How a burst ends for the grids' current records.
    enum class TBurst { None, Insert, Remove, Keep, Refresh };

    void Connect();
    void BeginBurst(TBurst Kind, int First);
    void EndBurst();
    void ApplyTitles(TZQDataGrid* Grid, int First, int Last);
    void HeadersChanged(Qt::Orientation Orientation, int First, int Last);
    void ModelDestroyed();

    TZQItemModelData* const FData;
    QPointer<QAbstractItemModel> FModel;
    // Owns the connections to the model, so that they end with the source.
    QObject FContext;
    // One entry per begin signal of the model that its end signal closes: the bursts opened, and
    // None for a signal passed on by itself.
    std::vector<TBurst> FBursts;
    std::vector<int> FBurstFirst;
    std::vector<TCurrent> FCurrent;
    QList<QPointer<TZQDataGrid>> FTitleGrids;
};
