#include "framework/PaintBox.h"

#include "framework/Application.h"

#include <QPaintEvent>
#include <QPainter>
#include <QWindow>

TPaintBox::TPaintBox(QWidget* Parent)
    : QWidget(Parent), FCanvas(FImage, [this](const QRect& Rect) { Changed(Rect); })
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TPaintBox::Invalidate()
{
    FInvalid = true;
    FAsked = QRect();
    FDrawn = QRect();
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
    if (FInvalid)
        return;
    // A move draws a piece away and again: the first change asks Qt for a paint, the others
    // join it as one rectangle just before the window paints.
    if (FAsked.isEmpty()) {
        FAsked = Rect;
        update(Rect);
    } else if (!FAsked.contains(Rect)) {
        FDrawn |= Rect;
    }
}

void TPaintBox::ShowDrawn()
{
    if (FDrawn.isEmpty())
        return;
    FAsked |= FDrawn;
    FDrawn = QRect();
    update(FAsked);
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

TPaintBox::~TPaintBox()
{
    // The watched window may be this box or outlive it: nothing of it may reach a box half gone.
    Watch(FWatchedWindow, nullptr);
    Watch(FWatchedTopLevel, nullptr);
}

void TPaintBox::Watch(QObject*& Watched, QObject* Object)
{
    if (Object == Watched)
        return;
    if (Watched) {
        disconnect(Watched, &QObject::destroyed, this, nullptr);
        Watched->removeEventFilter(this);
    }
    Watched = Object;
    if (!Object)
        return;
    Object->installEventFilter(this);
    connect(Object, &QObject::destroyed, this, [this, Object] {
        if (FWatchedWindow == Object)
            FWatchedWindow = nullptr;
        if (FWatchedTopLevel == Object)
            FWatchedTopLevel = nullptr;
    });
}

void TPaintBox::showEvent(QShowEvent*)
{
    // The window paints its widgets on an update request, to either the widget or its window.
    // A window restored or uncovered is exposed again, and may show what its backing store
    // holds without any paint event: the picture must be drawn anew then too.
    Watch(FWatchedTopLevel, window());
    Watch(FWatchedWindow, window()->windowHandle());
    Invalidate();
}

bool TPaintBox::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Event->type() == QEvent::UpdateRequest)
        ShowDrawn();
    else if (Watched == FWatchedWindow && Event->type() == QEvent::Expose && isVisible())
        Invalidate();
    return false;
}

void TPaintBox::paintEvent(QPaintEvent* Event)
{
    FitPicture();
    // A paint reaching beyond what was asked is the window system's: draw the whole picture.
    if (!FAsked.contains(Event->region().boundingRect()))
        FInvalid = true;
    FAsked = QRect();
    if (FInvalid) {
        FInvalid = false;
        FDrawn = QRect();
        FPainting = true;
        GuardedPaint(this, [this] { emit Paint(this); });
        FPainting = false;
    }
    QPainter Painter(this);
    for (const QRect& Rect : Event->region())
        Painter.drawImage(Rect, FImage, Rect);
    // Drawn after the window's update request had passed: shown at the next paint.
    if (!FDrawn.isEmpty())
        ShowDrawn();
}
