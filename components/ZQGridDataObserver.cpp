#include "components/ZQGridDataObserver.h"
#include "components/ZQGridDataObserver_p.h"

#include "components/ZQDataGrid.h"

TZQGridDataObserver::TZQGridDataObserver() : d(std::make_unique<TZQGridDataObserverPrivate>()) {}

TZQGridDataObserver::~TZQGridDataObserver()
{
    // Each RemoveObserver() takes every entry of the source out of the list.
    while (!d->FSources.empty())
        d->FSources.back()->RemoveObserver(this);
}

void TZQGridDataObserver::RecordInserted(TZQGridData*, int) {}
void TZQGridDataObserver::RecordRemoved(TZQGridData*, int) {}
void TZQGridDataObserver::RecordChanged(TZQGridData*, int) {}
void TZQGridDataObserver::UpdateBegun(TZQGridData*) {}
void TZQGridDataObserver::UpdateEnded(TZQGridData*) {}
void TZQGridDataObserver::SourceDestroyed(TZQGridData*) {}
void TZQGridDataObserver::virtual_hook(int, void*) {}
