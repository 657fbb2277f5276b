#pragma once

#include <QEvent>
#include <QObject>

// Counts the paint events of a widget, to show that each step of a benchmark really paints.
class TPaintCounter : public QObject {
public:
    int Paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* Event) override
    {
        Paints += Event->type() == QEvent::Paint;
        return false;
    }
};
