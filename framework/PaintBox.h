#pragma once

#include "framework/Canvas.h"

#include <QImage>
#include <QWidget>

#include <functional>

// A paint box: a control whose picture the program draws on its canvas at the moment of
// each change. Only what was drawn is shown again, the changes of one turn of the event loop
// together; the Paint event draws the whole picture when the box has been invalidated (first
// show, resize, Invalidate) and whenever the window system asks for any part of it (shown
// again, uncovered, restored).
class TPaintBox : public QWidget {
    Q_OBJECT

public:
    explicit TPaintBox(QWidget* Parent = nullptr);
    ~TPaintBox() override;

    TCanvas& Canvas();
    // Told of every part drawn anew, which the box will show again; for whoever needs to see
    // what a change costs.
    std::function<void(const QRect&)> OnUpdateRect;

    // The whole box is painted again at the next paint.
    void Invalidate();
    // The whole box is painted again now, when it is visible.
    void Repaint();

signals:
    void Paint(QObject* Sender);

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;
    void paintEvent(QPaintEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    void showEvent(QShowEvent* Event) override;

private:
    void Changed(const QRect& Rect);
    // Adds what was drawn since the first change of this turn to what Qt will paint.
    void ShowDrawn();
    void Watch(QObject*& Watched, QObject* Object);
    // The picture follows the box's size; a hidden box gets no resize events, so this is asked.
    void FitPicture();

    QImage FImage;
    TCanvas FCanvas;
    bool FInvalid = true;
    bool FPainting = false;
    // Asked of Qt but not yet painted, and drawn since then.
    QRect FAsked;
    QRect FDrawn;
    QObject* FWatchedWindow = nullptr;
    QObject* FWatchedTopLevel = nullptr;
};
