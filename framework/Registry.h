#pragma once

#include <QList>
#include <QString>

#include <functional>

class QWidget;

// A component class as a form designer offers it: its name, the header that declares it, and how
// to make one.
struct TComponentClass {
    QString ClassName;
    QString IncludeFile;
    std::function<QWidget*(QWidget* Parent)> Create;
    QString Description = {};
};

struct TRegisteredComponent {
    QString Page;
    TComponentClass Class;
};

// Offers a component class on a palette page; registering a class again replaces its entry.
void RegisterComponents(const QString& Page, const TComponentClass& Class);
QList<TRegisteredComponent> RegisteredComponents();
