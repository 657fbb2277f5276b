#pragma once

#include <QList>
#include <QObject>
#include <QString>

class TCollection;

// An item of a collection: owned by it, knowing its place in it, and reporting its changes to it.
class TCollectionItem : public QObject {
    Q_OBJECT

public:
    // Appends the item to Collection, which then owns it; a null collection leaves it on its own.
    explicit TCollectionItem(TCollection* Collection);
    // Takes the item out of its collection.
    ~TCollectionItem() override;

    TCollection* Collection() const { return FCollection; }
    // Moves the item to the end of another collection (or out of any, with null).
    void SetCollection(TCollection* Value);
    // The 0-based place in the collection; -1 for an item on its own.
    int Index() const;
    void SetIndex(int Value);

    // The text a designer lists the item by.
    virtual QString GetDisplayName() const;
    // Makes this item a copy of Source. Items that can be copied override it; this one refuses.
    virtual void Assign(const TCollectionItem* Source);

protected:
    // Reports a change of this item alone, or of the collection as a whole (AllItems).
    void Changed(bool AllItems);

private:
    friend class TCollection;
    TCollection* FCollection = nullptr;
};

// Creates an item of one class in a collection: a collection's item class.
using TCollectionItemClass = TCollectionItem* (*)(TCollection* Collection);

template <typename TItem>
TCollectionItem* CreateCollectionItem(TCollection* Collection)
{
    return new TItem(Collection);
}

// An ordered collection of items of one class, which it owns. Adding, deleting or moving items
// calls Update with null, a change of one item calls it with the item; inside BeginUpdate and
// EndUpdate nothing is reported until the end, which reports the whole collection once.
class TCollection : public QObject {
    Q_OBJECT

public:
    explicit TCollection(TCollectionItemClass ItemClass);
    ~TCollection() override;

    int Count() const { return int(FItems.size()); }
    TCollectionItem* GetItem(int Index) const;
    // Makes item Index a copy of Value.
    void SetItem(int Index, const TCollectionItem* Value);
    TCollectionItem* Add();
    void Delete(int Index);
    void Clear();
    // Within one bulk change: clears this collection and adds a copy of each item of Source.
    void Assign(const TCollection* Source);

    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }

    // The object whose property the collection is, for the designer; none by default.
    virtual QObject* GetOwner() const;
    // Told of a change of Item, or of the whole collection when Item is null.
    virtual void Update(TCollectionItem* Item);

protected:
    void Changed();

private:
    friend class TCollectionItem;
    void InsertItem(TCollectionItem* Item);
    void RemoveItem(TCollectionItem* Item);
    void CheckIndex(int Index) const;

    TCollectionItemClass FItemClass;
    QList<TCollectionItem*> FItems;
    int FUpdateCount = 0;
};
