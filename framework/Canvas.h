#pragma once

#include "framework/Colors.h"

#include <QImage>
#include <QPoint>
#include <QRect>

#include <functional>

// Draws into an image with the pen/brush semantics of the classic canvas: a rectangle
// (X1, Y1)-(X2, Y2) covers the pixels X1..X2-1 and Y1..Y2-1, its outline being the outermost
// ring of those; a line stops one pixel short of its end point. Every change is reported to
// the owner as the rectangle it touched, so that only that part is shown again.
class TCanvas {
public:
    struct TPen { TColor Color = 0; } Pen;
    struct TBrush { TColor Color = 0xFFFFFF; } Brush;

    using TChangeHandler = std::function<void(const QRect&)>;

    TCanvas(QImage& Image, TChangeHandler OnChange);

    // Filled with the brush and outlined with the pen.
    void Rectangle(int X1, int Y1, int X2, int Y2);
    // Filled with the brush, no outline.
    void FillRect(const QRect& Rect);
    void MoveTo(int X, int Y);
    void LineTo(int X, int Y);
    QPoint PenPos() const { return FPenPos; }

private:
    void Fill(const QRect& Rect, TColor Color);
    void Plot(int X, int Y, QRgb Rgb);
    void Changed(const QRect& Rect);

    QImage& FImage;
    TChangeHandler FOnChange;
    QPoint FPenPos;
};
