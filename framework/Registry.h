/// \file
/// The registry of component classes that a form designer offers on its palette.
#pragma once

#include <zq/framework/Export.h>

#include <QList>
#include <QString>

#include <functional>

class QWidget;

/// A component class as a form designer offers it: its name, the header that declares it, and how
/// to make one.
struct TComponentClass {
    QString ClassName; ///< The class's name as a program writes it, namespace included: "ZQ::TZQBitGrid".
    QString IncludeFile; ///< The header that declares it, as a program includes it: "zq/ZQBitGrid.h".
    std::function<QWidget*(QWidget* Parent)> Create; ///< Makes one, a child of Parent (which may be null).
    QString Description = {}; ///< A line that tells what it is; a designer shows it as the tool tip.
};

/// A registered class with the palette page it is offered on.
struct TRegisteredComponent {
    QString Page; ///< The palette page: "ZQ" for the library's grids.
    TComponentClass Class; ///< The class.
};

/// Offers a component class on a palette page; registering a class again replaces its entry.
ZQ_EXPORT void RegisterComponents(const QString& Page, const TComponentClass& Class);
/// Every registered class, in the order in which each was first registered.
ZQ_EXPORT QList<TRegisteredComponent> RegisteredComponents();
