#include "framework/PaintBox.h"

#include "framework/Application.h"

#include <QPaintEvent>
#include <QPainter>

TPaintBox::TPaintBox(QWidget* Parent)
    : QWidget(Parent), FCanvas(FImage, [this](const QRect& Rect) { Changed(Rect); })
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TPaintBox::Invalidate()
{
    FInvalid = true;
    if (OnUpdateRect)
        OnUpdateRect(rect());
    update();
}

void TPaintBox::Repaint()
{
    Invalidate();
    repaint();
}

void TPaintBox::Changed(const QRect& Rect)
{
    // While the Paint event draws, the whole box is being shown anyway.
    if (FPainting)
        return;
    if (OnUpdateRect)
        OnUpdateRect(Rect);
    update(Rect);
}

TCanvas& TPaintBox::Canvas()
{
    FitPicture();
    return FCanvas;
}

void TPaintBox::FitPicture()
{
    if (FImage.size() == size())
        return;
    FImage = QImage(size(), QImage::Format_RGB32);
    FImage.fill(Qt::black);
    Invalidate();
}

void TPaintBox::resizeEvent(QResizeEvent*)
{
    FitPicture();
}

void TPaintBox::paintEvent(QPaintEvent* Event)
{
    FitPicture();
    if (FInvalid) {
        FInvalid = false;
        FPainting = true;
        Guarded([this] { emit Paint(this); });
        FPainting = false;
    }
    QPainter Painter(this);
    for (const QRect& Rect : Event->region())
        Painter.drawImage(Rect, FImage, Rect);
}
