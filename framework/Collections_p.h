#pragma once

// Not part of the library's interface: this header is never installed, and what it declares may
// change from one version to the next. Only the library's own code and its tests built in the tree
// include it.
#ifdef ZQ_TESTS_OF_THE_SHARED_LIBRARY
#error "a test of the shared library sees only what a program sees: the installed headers"
#endif

#include "framework/Collections.h"

#include <QList>

// What an item holds.
class TCollectionItemPrivate {
public:
    TCollection* FCollection = nullptr;
};

// What a collection holds.
class TCollectionPrivate {
public:
    explicit TCollectionPrivate(TCollectionItemClass ItemClass) : FItemClass(ItemClass) {}

    const TCollectionItemClass FItemClass;
    QList<TCollectionItem*> FItems;
    int FUpdateCount = 0;
};
