#pragma once

#include "framework/Canvas.h"

#include <QImage>
#include <QWidget>

#include <functional>

// A paint box: a control whose picture the program draws on its canvas at the moment of
// each change. Only what was drawn is shown again; the Paint event draws the whole picture
// when the box has been invalidated (first show, resize, Invalidate).
class TPaintBox : public QWidget {
    Q_OBJECT

public:
    explicit TPaintBox(QWidget* Parent = nullptr);

    TCanvas& Canvas();
    // Told of every part the box asks to show again; for whoever needs to see what a change costs.
    std::function<void(const QRect&)> OnUpdateRect;

    // The whole box is painted again at the next paint.
    void Invalidate();
    // The whole box is painted again now, when it is visible.
    void Repaint();

signals:
    void Paint(QObject* Sender);

protected:
    void paintEvent(QPaintEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;

private:
    void Changed(const QRect& Rect);
    // The picture follows the box's size; a hidden box gets no resize events, so this is asked.
    void FitPicture();

    QImage FImage;
    TCanvas FCanvas;
    bool FInvalid = true;
    bool FPainting = false;
};
