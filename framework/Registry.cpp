#include "framework/Registry.h"

namespace {
QList<TRegisteredComponent>& Registry()
{
    static QList<TRegisteredComponent> Components;
    return Components;
}
} // namespace

void RegisterComponents(const QString& Page, const TComponentClass& Class)
{
    for (TRegisteredComponent& Entry : Registry())
        if (Entry.Class.ClassName == Class.ClassName) {
            Entry = {Page, Class};
            return;
        }
    Registry().append({Page, Class});
}

QList<TRegisteredComponent> RegisteredComponents()
{
    return Registry();
}
