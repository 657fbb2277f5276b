#pragma once

#include <QLabel>
#include <QToolButton>

class QAction;

// A button linked to an action by name: it takes the action's enabled state, glyph and
// caption, and the action's hint (its "Hint" property) when it has none of its own.
class TGlyphButton : public QToolButton {
    Q_OBJECT
    Q_PROPERTY(QString Action READ Action WRITE SetAction)
    Q_PROPERTY(QString Hint READ Hint WRITE SetHint)

public:
    explicit TGlyphButton(QWidget* Parent = nullptr);

    QString Action() const { return FActionName; }
    void SetAction(const QString& Name) { FActionName = Name; }
    QString Hint() const { return FHint; }
    void SetHint(const QString& Hint);

    // Finds the named action among the window's children and links to it.
    void LinkAction();

protected:
    void actionEvent(QActionEvent* Event) override;

private:
    void ApplyHint();

    QString FActionName;
    QString FHint;
};

// A label that reports clicks.
class TLabel : public QLabel {
    Q_OBJECT

public:
    explicit TLabel(QWidget* Parent = nullptr);

signals:
    void Click(QObject* Sender);

protected:
    void mouseReleaseEvent(QMouseEvent* Event) override;
};
