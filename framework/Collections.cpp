#include "framework/Collections.h"
#include "framework/Collections_p.h"

#include "framework/Exceptions.h"
#include "framework/StringTable.h"

using namespace Exceptions;

namespace {

// Keeps a bulk change open for a scope, so that an exception inside still closes it.
class TBulkChange {
public:
    explicit TBulkChange(TCollection& Collection) : FCollection(Collection) { FCollection.BeginUpdate(); }
    ~TBulkChange() { FCollection.EndUpdate(); }
    TBulkChange(const TBulkChange&) = delete;
    TBulkChange& operator=(const TBulkChange&) = delete;

private:
    TCollection& FCollection;
};

} // namespace

// Items ------------------------------------------------------------------------------------------

TCollectionItem::TCollectionItem(TCollection* Collection) : d(std::make_unique<TCollectionItemPrivate>())
{
    SetCollection(Collection);
}

TCollectionItem::~TCollectionItem()
{
    SetCollection(nullptr);
}

TCollection* TCollectionItem::Collection() const
{
    return d->FCollection;
}

void TCollectionItem::SetCollection(TCollection* Value)
{
    if (Value == d->FCollection)
        return;
    if (d->FCollection)
        d->FCollection->RemoveItem(this);
    if (Value)
        Value->InsertItem(this);
}

int TCollectionItem::Index() const
{
    return d->FCollection ? int(d->FCollection->d->FItems.indexOf(this)) : -1;
}

void TCollectionItem::SetIndex(int Value)
{
    const int Current = Index();
    if (Current < 0 || Value == Current)
        return;
    d->FCollection->CheckIndex(Value);
    d->FCollection->d->FItems.move(Current, Value);
    Changed(true);
}

QString TCollectionItem::GetDisplayName() const
{
    return QString::fromLatin1(metaObject()->className());
}

namespace {

[[noreturn]] void AssignError(const QObject* Source, const QObject* Target)
{
    const QString SourceName = Source ? QString::fromLatin1(Source->metaObject()->className()) : QStringLiteral("null");
    const QString TargetName = QString::fromLatin1(Target->metaObject()->className());
    throw EConvertError(FrameworkString(SAssignError).arg(SourceName, TargetName));
}

} // namespace

void TCollectionItem::Assign(const TCollectionItem* Source)
{
    AssignError(Source, this);
}

void TCollectionItem::Changed(bool AllItems)
{
    if (d->FCollection && d->FCollection->d->FUpdateCount == 0)
        d->FCollection->Update(AllItems ? nullptr : this);
}

void TCollectionItem::virtual_hook(int, void*) {}

// The collection ---------------------------------------------------------------------------------

TCollection::TCollection(TCollectionItemClass ItemClass) : d(std::make_unique<TCollectionPrivate>(ItemClass)) {}

TCollection::~TCollection()
{
    // A collection on its way out reports nothing: its owner may be going too.
    d->FUpdateCount = 1;
    while (!d->FItems.isEmpty())
        delete d->FItems.last();
}

int TCollection::Count() const
{
    return int(d->FItems.size());
}

TCollectionItem* TCollection::GetItem(int Index) const
{
    CheckIndex(Index);
    return d->FItems[Index];
}

void TCollection::SetItem(int Index, const TCollectionItem* Value)
{
    GetItem(Index)->Assign(Value);
}

TCollectionItem* TCollection::Add()
{
    return d->FItemClass(this);
}

void TCollection::Delete(int Index)
{
    delete GetItem(Index);
}

void TCollection::Clear()
{
    if (d->FItems.isEmpty())
        return;
    TBulkChange Bulk(*this);
    while (!d->FItems.isEmpty())
        delete d->FItems.last();
}

void TCollection::Assign(const TCollection* Source)
{
    if (!Source)
        AssignError(Source, this);
    if (Source == this)
        return;
    TBulkChange Bulk(*this);
    Clear();
    for (const TCollectionItem* Item : Source->d->FItems)
        Add()->Assign(Item);
}

void TCollection::BeginUpdate()
{
    ++d->FUpdateCount;
}

void TCollection::EndUpdate()
{
    --d->FUpdateCount;
    Changed();
}

int TCollection::UpdateCount() const
{
    return d->FUpdateCount;
}

QObject* TCollection::GetOwner() const
{
    return nullptr;
}

void TCollection::Update(TCollectionItem*) {}

void TCollection::Changed()
{
    if (d->FUpdateCount == 0)
        Update(nullptr);
}

void TCollection::virtual_hook(int, void*) {}

void TCollection::InsertItem(TCollectionItem* Item)
{
    d->FItems.append(Item);
    Item->d->FCollection = this;
    Changed();
}

void TCollection::RemoveItem(TCollectionItem* Item)
{
    d->FItems.removeOne(Item);
    Item->d->FCollection = nullptr;
    Changed();
}

void TCollection::CheckIndex(int Index) const
{
    if (Index < 0 || Index >= Count())
        throw EListError(FrameworkString(SListIndexError).arg(Index));
}
