#include "framework/Registry.h"
#include "framework/Registry_p.h"

TComponentClass::TComponentClass(const QString& ClassName, const QString& IncludeFile, const TCreate& Create,
                                 const QString& Description)
    : d(new TComponentClassPrivate{ClassName, IncludeFile, Create, Description})
{
}

TComponentClass::TComponentClass(const TComponentClass& Other) : d(new TComponentClassPrivate(*Other.d)) {}

TComponentClass& TComponentClass::operator=(const TComponentClass& Other)
{
    *d = *Other.d;
    return *this;
}

TComponentClass::~TComponentClass() = default;

QString TComponentClass::ClassName() const
{
    return d->FClassName;
}

QString TComponentClass::IncludeFile() const
{
    return d->FIncludeFile;
}

QWidget* TComponentClass::Create(QWidget* Parent) const
{
    return d->FCreate(Parent);
}

QString TComponentClass::Description() const
{
    return d->FDescription;
}

TRegisteredComponent::TRegisteredComponent(const QString& Page, const TComponentClass& Class)
    : d(new TRegisteredComponentPrivate{Page, Class})
{
}

TRegisteredComponent::TRegisteredComponent(const TRegisteredComponent& Other)
    : d(new TRegisteredComponentPrivate(*Other.d))
{
}

TRegisteredComponent& TRegisteredComponent::operator=(const TRegisteredComponent& Other)
{
    *d = *Other.d;
    return *this;
}

TRegisteredComponent::~TRegisteredComponent() = default;

QString TRegisteredComponent::Page() const
{
    return d->FPage;
}

const TComponentClass& TRegisteredComponent::Class() const
{
    return d->FClass;
}

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
        if (Entry.Class().ClassName() == Class.ClassName()) {
            Entry = {Page, Class};
            return;
        }
    Registry().append({Page, Class});
}

QList<TRegisteredComponent> RegisteredComponents()
{
    return Registry();
}
