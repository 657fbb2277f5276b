#include "framework/Collections.h"

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

TCollectionItem::TCollectionItem(TCollection* Collection)
{
    SetCollection(Collection);
}

TCollectionItem::~TCollectionItem()
{
    SetCollection(nullptr);
}

void TCollectionItem::SetCollection(TCollection* Value)
{
    if (Value == FCollection)
        return;
    if (FCollection)
        FCollection->RemoveItem(this);
    if (Value)
        Value->InsertItem(this);
}

int TCollectionItem::Index() const
{
    return FCollection ? int(FCollection->FItems.indexOf(this)) : -1;
}

void TCollectionItem::SetIndex(int Value)
{
    const int Current = Index();
    if (Current < 0 || Value == Current)
        return;
    FCollection->CheckIndex(Value);
    FCollection->FItems.move(Current, Value);
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
    if (FCollection && FCollection->FUpdateCount == 0)
        FCollection->Update(AllItems ? nullptr : this);
}

// The collection ---------------------------------------------------------------------------------

TCollection::TCollection(TCollectionItemClass ItemClass) : FItemClass(ItemClass) {}

TCollection::~TCollection()
{
    // A collection on its way out reports nothing: its owner may be going too.
    FUpdateCount = 1;
    while (!FItems.isEmpty())
        delete FItems.last();
}

TCollectionItem* TCollection::GetItem(int Index) const
{
    CheckIndex(Index);
    return FItems[Index];
}

void TCollection::SetItem(int Index, const TCollectionItem* Value)
{
    GetItem(Index)->Assign(Value);
}

TCollectionItem* TCollection::Add()
{
    return FItemClass(this);
}

void TCollection::Delete(int Index)
{
    delete GetItem(Index);
}

void TCollection::Clear()
{
    if (FItems.isEmpty())
        return;
    TBulkChange Bulk(*this);
    while (!FItems.isEmpty())
        delete FItems.last();
}

void TCollection::Assign(const TCollection* Source)
{
    if (!Source)
        AssignError(Source, this);
    if (Source == this)
        return;
    TBulkChange Bulk(*this);
    Clear();
    for (const TCollectionItem* Item : Source->FItems)
        Add()->Assign(Item);
}

void TCollection::BeginUpdate()
{
    ++FUpdateCount;
}

void TCollection::EndUpdate()
{
    --FUpdateCount;
    Changed();
}

QObject* TCollection::GetOwner() const
{
    return nullptr;
}

void TCollection::Update(TCollectionItem*) {}

void TCollection::Changed()
{
    if (FUpdateCount == 0)
        Update(nullptr);
}

void TCollection::InsertItem(TCollectionItem* Item)
{
    FItems.append(Item);
    Item->FCollection = this;
    Changed();
}

void TCollection::RemoveItem(TCollectionItem* Item)
{
    FItems.removeOne(Item);
    Item->FCollection = nullptr;
    Changed();
}

void TCollection::CheckIndex(int Index) const
{
    if (Index < 0 || Index >= Count())
        throw EListError(FrameworkString(SListIndexError).arg(Index));
}
