/// \file
/// TZQGridDataObserver: what, besides the data grids, follows the changes of a data source.
#pragma once

#include <zq/framework/Export.h>

#include <memory>

class TZQGridData;
class TZQGridDataObserverPrivate;

/// Told of the changes of one or more data sources (TZQGridData) that it was added to by
/// TZQGridData::AddObserver(): a model over a source, a log, anything that is not a TZQDataGrid.
///
/// A source tells its observers in each of its walks, after its grids, and only of what it tells
/// the grids: a notification that a source drops inside a bracket of changes is dropped for its
/// observers too, and the end of the outermost bracket (everything may have changed) is told
/// instead. An observer may add or remove itself or another observer from inside any of its
/// functions: the walk goes on with the observers that are still there. Observers added during a
/// walk are told from the next one on. Each function does nothing by default.
///
/// The observer and the source do not own each other. Destroying an observer takes it out of every
/// source it observes; destroying a source tells SourceDestroyed() to each of its observers.
/// Everything happens synchronously on the GUI thread.
class ZQ_EXPORT TZQGridDataObserver {
public:
    /// An observer of no source.
    TZQGridDataObserver();
    /// Takes the observer out of every source it observes.
    virtual ~TZQGridDataObserver();
    /// Not copyable: a source holds the observer by its address.
    ///@{
    TZQGridDataObserver(const TZQGridDataObserver&) = delete;
    TZQGridDataObserver& operator=(const TZQGridDataObserver&) = delete;
    ///@}

    /// Data now holds a record at Index, which its TZQGridData::GetRecordCount() already counts.
    virtual void RecordInserted(TZQGridData* Data, int Index);
    /// The record that had Index in Data is gone; Data no longer counts it.
    virtual void RecordRemoved(TZQGridData* Data, int Index);
    /// The data of record Index of Data changed, its record count unchanged.
    virtual void RecordChanged(TZQGridData* Data, int Index);
    /// Data opened its outermost bracket of changes (TZQGridData::BeginUpdate()): until
    /// UpdateEnded(), nothing is told of Data's records, which may change in any way.
    virtual void UpdateBegun(TZQGridData* Data);
    /// Data closed its outermost bracket (TZQGridData::EndUpdate()), after it refreshed its grids:
    /// any record may have changed, and so may the record count.
    virtual void UpdateEnded(TZQGridData* Data);
    /// Data is being destroyed, after it detached its grids; the observer is no longer among its
    /// observers. Data is already only a TZQGridData: its own functions must not be called.
    virtual void SourceDestroyed(TZQGridData* Data);

protected:
    /// Reserved: lets a later version add a virtual function without changing the virtual
    /// table. Does nothing yet; an override passes the ids it does not know on to its base.
    virtual void virtual_hook(int Id, void* Data);

private:
    friend class TZQGridData;
    friend class TZQGridDataPrivate;
    std::unique_ptr<TZQGridDataObserverPrivate> const d;
};
