#pragma once

// Not part of the library's interface: this header is never installed, and what it declares may
// change from one version to the next. Only the library's own code and its tests built in the tree
// include it.
#ifdef ZQ_TESTS_OF_THE_SHARED_LIBRARY
#error "a test of the shared library sees only what a program sees: the installed headers"
#endif

#include "framework/Registry.h"

// What a component class holds.
class TComponentClassPrivate {
public:
    QString FClassName;
    QString FIncludeFile;
    TComponentClass::TCreate FCreate;
    QString FDescription;
};

// What a registry entry holds.
class TRegisteredComponentPrivate {
public:
    QString FPage;
    TComponentClass FClass;
};
