#pragma once

// Not part of the library's interface: this header is never installed, and what it declares may
// change from one version to the next. Only the library's own code and its tests built in the tree
// include it.
#ifdef ZQ_TESTS_OF_THE_SHARED_LIBRARY
#error "a test of the shared library sees only what a program sees: the installed headers"
#endif

#include "components/ZQGridDataObserver.h"

#include <vector>

// What an observer holds: the sources it was added to, once per entry, so that it can take itself
// out of them when it is destroyed.
class TZQGridDataObserverPrivate {
public:
    std::vector<TZQGridData*> FSources;
};
