/// \file
/// The registry of component classes that a form designer offers on its palette.
#pragma once

#include <zq/framework/Export.h>

#include <QList>
#include <QString>

#include <functional>
#include <memory>

class QWidget;
class TComponentClassPrivate;
class TRegisteredComponentPrivate;

/// A component class as a form designer offers it: its name, the header that declares it, and how
/// to make one.
class ZQ_EXPORT TComponentClass {
public:
    /// Makes a component, a child of Parent (which may be null).
    using TCreate = std::function<QWidget*(QWidget* Parent)>;

    /// A class named ClassName, declared in IncludeFile, made by Create, described by Description.
    TComponentClass(const QString& ClassName, const QString& IncludeFile, const TCreate& Create,
                    const QString& Description = {});
    /// A copy of Other.
    TComponentClass(const TComponentClass& Other);
    /// Makes this a copy of Other.
    TComponentClass& operator=(const TComponentClass& Other);
    /// Frees the class's description.
    ~TComponentClass();

    /// The class's name as a program writes it, namespace included: "ZQ::TZQBitGrid".
    QString ClassName() const;
    /// The header that declares it, as a program includes it: "zq/ZQBitGrid.h".
    QString IncludeFile() const;
    /// Makes one, a child of Parent (which may be null).
    QWidget* Create(QWidget* Parent) const;
    /// A line that tells what it is; a designer shows it as the tool tip. Empty when not given.
    QString Description() const;

private:
    std::unique_ptr<TComponentClassPrivate> const d;
};

/// A registered class with the palette page it is offered on.
class ZQ_EXPORT TRegisteredComponent {
public:
    /// Class, offered on Page.
    TRegisteredComponent(const QString& Page, const TComponentClass& Class);
    /// A copy of Other.
    TRegisteredComponent(const TRegisteredComponent& Other);
    /// Makes this a copy of Other.
    TRegisteredComponent& operator=(const TRegisteredComponent& Other);
    /// Frees the entry.
    ~TRegisteredComponent();

    /// The palette page: "ZQ" for the library's grids.
    QString Page() const;
    /// The class.
    const TComponentClass& Class() const;

private:
    std::unique_ptr<TRegisteredComponentPrivate> const d;
};

/// Offers a component class on a palette page; registering a class again replaces its entry.
ZQ_EXPORT void RegisterComponents(const QString& Page, const TComponentClass& Class);
/// Every registered class, in the order in which each was first registered.
ZQ_EXPORT QList<TRegisteredComponent> RegisteredComponents();
