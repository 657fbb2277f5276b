#pragma once

#include "framework/Canvas.h"

#include <QImage>
#include <QRegion>
#include <QWidget>

// A paint box: a control whose picture the program draws on its canvas at the moment of
// each change. Only what was drawn is shown again; the Paint event draws the whole picture
// when the box has been invalidated (first show, resize, Invalidate).
class TPaintBox : public QWidget {
    Q_OBJECT

public:
    explicit TPaintBox(QWidget* Parent = nullptr);

    TCanvas& Canvas() { return FCanvas; }
    const QImage& Picture() const { return FImage; }
    // The part drawn but not yet shown.
    const QRegion& PendingRegion() const { return FPending; }

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

    QImage FImage;
    TCanvas FCanvas;
    QRegion FPending;
    bool FInvalid = true;
    bool FPainting = false;
};
