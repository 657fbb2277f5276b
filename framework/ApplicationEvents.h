#pragma once

#include <QObject>

// Tells the window when the application loses the focus or one of its windows is minimised.
class TApplicationEvents : public QObject {
    Q_OBJECT

public:
    explicit TApplicationEvents(QObject* Parent = nullptr);

signals:
    void Deactivate(QObject* Sender);
    void Minimize(QObject* Sender);

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void StateChanged(Qt::ApplicationState State);
};
