#include "TestSupport.h"
#include "framework/Collections.h"
#include "framework/Exceptions.h"

#include <gtest/gtest.h>

#include <QPointer>

using namespace Exceptions;

namespace {

// An item that can be copied from its own class only.
class TNamedItem : public TCollectionItem {
    Q_OBJECT

public:
    using TCollectionItem::TCollectionItem;

    QString Name() const { return FName; }
    void SetName(const QString& Value)
    {
        FName = Value;
        Changed(false);
    }

    void Assign(const TCollectionItem* Source) override
    {
        if (const auto* Named = qobject_cast<const TNamedItem*>(Source)) {
            SetName(Named->Name());
            return;
        }
        TCollectionItem::Assign(Source);
    }

private:
    QString FName;
};

// Records what its Update is told: an item, or null for the whole collection.
class TRecordingCollection : public TCollection {
    Q_OBJECT

public:
    explicit TRecordingCollection(TCollectionItemClass ItemClass = &CreateCollectionItem<TNamedItem>)
        : TCollection(ItemClass)
    {
    }
    void Update(TCollectionItem* Item) override { Updates.append(Item); }

    TNamedItem* Named(int Index) const { return static_cast<TNamedItem*>(GetItem(Index)); }
    QStringList Names() const
    {
        QStringList Result;
        for (int I = 0; I < Count(); ++I)
            Result << Named(I)->Name();
        return Result;
    }

    QList<TCollectionItem*> Updates;
};

TRecordingCollection* Filled(TRecordingCollection& Collection, const QStringList& Names)
{
    for (const QString& Name : Names)
        static_cast<TNamedItem*>(Collection.Add())->SetName(Name);
    Collection.Updates.clear();
    return &Collection;
}

} // namespace

TEST(CollectionItems, AnItemIsAppendedKnowsItsIndexAndLeavesWhenDeleted)
{
    TRecordingCollection Collection;
    TCollectionItem* First = Collection.Add();
    TCollectionItem* Second = Collection.Add();
    TNamedItem* Third = new TNamedItem(&Collection);
    EXPECT_EQ(Collection.Count(), 3);
    EXPECT_EQ(First->Collection(), &Collection);
    EXPECT_EQ(Collection.GetItem(2), Third);
    EXPECT_EQ(Third->Index(), 2);

    delete Second;
    EXPECT_EQ(Collection.Count(), 2);
    EXPECT_EQ(Third->Index(), 1);
    Collection.Delete(0);
    EXPECT_EQ(Third->Index(), 0);
    EXPECT_EQ(Collection.GetItem(0), Third);
}

TEST(CollectionItems, MovingAnItemReordersTheOthers)
{
    TRecordingCollection Collection;
    Filled(Collection, {"a", "b", "c", "d"});
    Collection.Named(0)->SetIndex(2);
    EXPECT_EQ(Collection.Names(), QStringList({"b", "c", "a", "d"}));
    Collection.Named(3)->SetIndex(0);
    EXPECT_EQ(Collection.Names(), QStringList({"d", "b", "c", "a"}));
    EXPECT_EQ(MessageOf([&] { Collection.Named(0)->SetIndex(4); }), "List index out of bounds (4)");
    EXPECT_EQ(Collection.Names(), QStringList({"d", "b", "c", "a"}));
}

TEST(CollectionItems, AnItemMovesBetweenCollectionsAndCanStandAlone)
{
    TRecordingCollection From;
    TRecordingCollection To;
    Filled(From, {"a", "b"});
    Filled(To, {"x"});
    TNamedItem* Moved = From.Named(0);
    Moved->SetCollection(&To);
    EXPECT_EQ(From.Names(), QStringList({"b"}));
    EXPECT_EQ(To.Names(), QStringList({"x", "a"}));
    EXPECT_EQ(From.Updates, QList<TCollectionItem*>({nullptr}));
    EXPECT_EQ(To.Updates, QList<TCollectionItem*>({nullptr}));

    Moved->SetCollection(nullptr);
    EXPECT_EQ(Moved->Index(), -1);
    EXPECT_EQ(To.Count(), 1);
    Moved->SetName("alone"); // reports to nobody
    delete Moved;
}

TEST(CollectionItems, OutOfRangeIndexesAreRefused)
{
    TRecordingCollection Collection;
    Filled(Collection, {"a"});
    EXPECT_EQ(MessageOf([&] { Collection.GetItem(1); }), "List index out of bounds (1)");
    EXPECT_EQ(MessageOf([&] { Collection.Delete(-1); }), "List index out of bounds (-1)");
    EXPECT_THROW(Collection.GetItem(5), EListError);
    EXPECT_EQ(Collection.Count(), 1);
}

TEST(CollectionItems, TheDisplayNameIsTheClassNameAndACollectionHasNoOwner)
{
    TRecordingCollection Collection;
    EXPECT_EQ(Collection.Add()->GetDisplayName(), "TNamedItem");
    EXPECT_EQ(Collection.GetOwner(), nullptr);
}

TEST(CollectionUpdates, OneItemsChangeReportsTheItemAndAdditionsRemovalsAndMovesTheWhole)
{
    TRecordingCollection Collection;
    TCollectionItem* First = Collection.Add();
    Collection.Add();
    EXPECT_EQ(Collection.Updates, QList<TCollectionItem*>({nullptr, nullptr}));

    Collection.Updates.clear();
    Collection.Named(1)->SetName("b");
    EXPECT_EQ(Collection.Updates, QList<TCollectionItem*>({Collection.GetItem(1)}));

    Collection.Updates.clear();
    First->SetIndex(1);
    Collection.Delete(0);
    EXPECT_EQ(Collection.Updates, QList<TCollectionItem*>({nullptr, nullptr}));
}

TEST(CollectionUpdates, ABulkChangeReportsTheWholeOnceAtItsOutermostEnd)
{
    TRecordingCollection Collection;
    Filled(Collection, {"a", "b"});
    Collection.BeginUpdate();
    Collection.BeginUpdate();
    Collection.Add();
    Collection.Named(0)->SetName("z");
    Collection.Delete(1);
    Collection.EndUpdate();
    EXPECT_TRUE(Collection.Updates.isEmpty());
    Collection.EndUpdate();
    EXPECT_EQ(Collection.Updates, QList<TCollectionItem*>({nullptr}));
    EXPECT_EQ(Collection.UpdateCount(), 0);
}

TEST(CollectionUpdates, ClearingIsOneChange)
{
    TRecordingCollection Collection;
    Filled(Collection, {"a", "b", "c"});
    Collection.Clear();
    EXPECT_EQ(Collection.Count(), 0);
    EXPECT_EQ(Collection.Updates, QList<TCollectionItem*>({nullptr}));
}

TEST(CollectionUpdates, ADestroyedCollectionDeletesItsItemsWithoutReporting)
{
    auto* Collection = new TRecordingCollection;
    Filled(*Collection, {"a", "b"});
    QPointer<TCollectionItem> Item = Collection->GetItem(1);
    delete Collection;
    EXPECT_TRUE(Item.isNull());
}

TEST(CollectionAssignment, AssigningCopiesEveryItemInOneBulkChange)
{
    TRecordingCollection Source;
    TRecordingCollection Target;
    Filled(Source, {"a", "b", "c"});
    Filled(Target, {"x"});
    Target.Assign(&Source);
    EXPECT_EQ(Target.Names(), QStringList({"a", "b", "c"}));
    EXPECT_EQ(Target.Updates, QList<TCollectionItem*>({nullptr}));
    EXPECT_EQ(Source.Names(), QStringList({"a", "b", "c"}));

    Target.Assign(&Target);
    EXPECT_EQ(Target.Names(), QStringList({"a", "b", "c"}));

    Target.SetItem(2, Source.GetItem(0));
    EXPECT_EQ(Target.Names(), QStringList({"a", "b", "a"}));
}

TEST(CollectionAssignment, AnItemRefusesACopyOfAForeignClassNamingBoth)
{
    TRecordingCollection Named;
    TRecordingCollection Plain(&CreateCollectionItem<TCollectionItem>);
    Filled(Named, {"a"});
    Plain.Add();
    EXPECT_EQ(MessageOf([&] { Plain.SetItem(0, Named.GetItem(0)); }),
              "Cannot assign a TNamedItem to a TCollectionItem");
    EXPECT_EQ(MessageOf([&] { Named.SetItem(0, Plain.GetItem(0)); }),
              "Cannot assign a TCollectionItem to a TNamedItem");
    EXPECT_EQ(MessageOf([&] { Named.SetItem(0, nullptr); }), "Cannot assign a null to a TNamedItem");
    EXPECT_EQ(MessageOf([&] { Named.Assign(nullptr); }), "Cannot assign a null to a TRecordingCollection");
    EXPECT_THROW(Named.SetItem(0, Plain.GetItem(0)), EConvertError);
    EXPECT_EQ(Named.Names(), QStringList({"a"}));
}

TEST(CollectionAssignment, AFailedAssignmentStillEndsItsBulkChange)
{
    TRecordingCollection Named;
    TRecordingCollection Plain(&CreateCollectionItem<TCollectionItem>);
    Filled(Named, {"a", "b"});
    Plain.Add();
    EXPECT_THROW(Named.Assign(&Plain), EConvertError);
    EXPECT_EQ(Named.UpdateCount(), 0);
    EXPECT_EQ(Named.Updates, QList<TCollectionItem*>({nullptr}));
    Named.Updates.clear();
    Named.Add();
    EXPECT_EQ(Named.Updates, QList<TCollectionItem*>({nullptr}));
}

#include "CollectionTests.moc"
