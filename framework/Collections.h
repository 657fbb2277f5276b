/// \file
/// The framework's collections: an owned, ordered list of items that reports its changes, such as
/// the columns of a TZQDataGrid.
#pragma once

#include <zq/framework/Export.h>

#include <QList>
#include <QObject>
#include <QString>

#include <memory>

class TCollection;
class TCollectionItemPrivate;
class TCollectionPrivate;

/// An item of a collection: owned by it, knowing its place in it, and reporting its changes to it.
class ZQ_EXPORT TCollectionItem : public QObject {
    Q_OBJECT

public:
    /// Appends the item to Collection, which then owns it; a null collection leaves it on its own.
    explicit TCollectionItem(TCollection* Collection);
    /// Takes the item out of its collection.
    ~TCollectionItem() override;

    /// The collection that owns the item; null for an item on its own.
    TCollection* Collection() const;
    /// Moves the item to the end of another collection (or out of any, with null).
    void SetCollection(TCollection* Value);
    /// The 0-based place in the collection; -1 for an item on its own.
    int Index() const;
    /// Moves the item to place Value of its collection, and reports a change of the whole
    /// collection; nothing for an item on its own. Raises Exceptions::EListError for a place
    /// outside the collection.
    void SetIndex(int Value);

    /// The text a designer lists the item by; this one gives the class's name.
    virtual QString GetDisplayName() const;
    /// Makes this item a copy of Source. Items that can be copied override it; this one refuses,
    /// raising Exceptions::EConvertError "Cannot assign a <Source's class> to a <this class>".
    virtual void Assign(const TCollectionItem* Source);

protected:
    /// Reports a change of this item alone, or of the collection as a whole (AllItems), to the
    /// collection's TCollection::Update(); nothing while the collection is in a bulk change.
    void Changed(bool AllItems);
    /// Reserved: lets a later version add a virtual function without changing the virtual
    /// table. Does nothing yet; an override passes the ids it does not know on to its base.
    virtual void virtual_hook(int Id, void* Data);

private:
    friend class TCollection;
    std::unique_ptr<TCollectionItemPrivate> const d;
};

/// Creates an item of one class in a collection: a collection's item class.
using TCollectionItemClass = TCollectionItem* (*)(TCollection* Collection);

/// The item class of items of type TItem: TCollection(&CreateCollectionItem<TItem>).
template <typename TItem>
TCollectionItem* CreateCollectionItem(TCollection* Collection)
{
    return new TItem(Collection);
}

/// An ordered collection of items of one class, which it owns. Adding, deleting or moving items
/// calls Update with null, a change of one item calls it with the item; inside BeginUpdate and
/// EndUpdate nothing is reported until the end, which reports the whole collection once.
/// Indexes outside 0 to Count() - 1 raise Exceptions::EListError "List index out of bounds (<index>)".
class ZQ_EXPORT TCollection : public QObject {
    Q_OBJECT

public:
    /// An empty collection whose Add() makes its items with ItemClass.
    explicit TCollection(TCollectionItemClass ItemClass);
    /// Deletes the items, reporting nothing.
    ~TCollection() override;

    /// The number of items.
    int Count() const;
    /// Item Index.
    TCollectionItem* GetItem(int Index) const;
    /// Makes item Index a copy of Value (TCollectionItem::Assign()).
    void SetItem(int Index, const TCollectionItem* Value);
    /// Appends a new item of the collection's item class and returns it.
    TCollectionItem* Add();
    /// Deletes item Index.
    void Delete(int Index);
    /// Deletes every item, in one bulk change.
    void Clear();
    /// Within one bulk change: clears this collection and adds a copy of each item of Source.
    /// Raises Exceptions::EConvertError for a null Source, or when the items refuse the copy.
    void Assign(const TCollection* Source);

    /// Open and close a bulk change: changes inside it are not reported, and closing the
    /// outermost one reports the whole collection once (Update() with null).
    ///@{
    void BeginUpdate();
    void EndUpdate();
    ///@}
    /// The number of bulk changes open.
    int UpdateCount() const;

    /// The object whose property the collection is, for the designer; none by default.
    virtual QObject* GetOwner() const;
    /// Told of a change of Item, or of the whole collection when Item is null.
    virtual void Update(TCollectionItem* Item);

protected:
    /// Reports a change of the whole collection, unless a bulk change is open.
    void Changed();
    /// Reserved: lets a later version add a virtual function without changing the virtual
    /// table. Does nothing yet; an override passes the ids it does not know on to its base.
    virtual void virtual_hook(int Id, void* Data);

private:
    friend class TCollectionItem;
    void InsertItem(TCollectionItem* Item);
    void RemoveItem(TCollectionItem* Item);
    void CheckIndex(int Index) const;

    std::unique_ptr<TCollectionPrivate> const d;
};
