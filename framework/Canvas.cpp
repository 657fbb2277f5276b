#include "framework/Canvas.h"

#include <algorithm>
#include <cstdlib>

TCanvas::TCanvas(QImage& Image, TChangeHandler OnChange) : FImage(Image), FOnChange(std::move(OnChange)) {}

void TCanvas::Fill(const QRect& Rect, TColor Color)
{
    const QRect Clipped = Rect & FImage.rect();
    if (Clipped.isEmpty())
        return;
    const QRgb Rgb = ColorToRgb(Color);
    uchar* Bits = FImage.bits();
    const qsizetype Stride = FImage.bytesPerLine();
    for (int Y = Clipped.top(); Y <= Clipped.bottom(); ++Y) {
        auto* Line = reinterpret_cast<QRgb*>(Bits + Y * Stride);
        std::fill(Line + Clipped.left(), Line + Clipped.right() + 1, Rgb);
    }
}

void TCanvas::Plot(int X, int Y, QRgb Rgb)
{
    if (X >= 0 && Y >= 0 && X < FImage.width() && Y < FImage.height())
        reinterpret_cast<QRgb*>(FImage.scanLine(Y))[X] = Rgb;
}

void TCanvas::Changed(const QRect& Rect)
{
    const QRect Clipped = Rect & FImage.rect();
    if (!Clipped.isEmpty() && FOnChange)
        FOnChange(Clipped);
}

void TCanvas::Rectangle(int X1, int Y1, int X2, int Y2)
{
    const QRect Area(QPoint(X1, Y1), QPoint(X2 - 1, Y2 - 1));
    if (Area.isEmpty())
        return;
    Fill(Area, Pen.Color);
    Fill(Area.adjusted(1, 1, -1, -1), Brush.Color);
    Changed(Area);
}

void TCanvas::FillRect(const QRect& Rect)
{
    Fill(Rect, Brush.Color);
    Changed(Rect);
}

void TCanvas::MoveTo(int X, int Y)
{
    FPenPos = QPoint(X, Y);
}

void TCanvas::LineTo(int X, int Y)
{
    // Bresenham from the pen position, leaving out the end point.
    const QRgb Rgb = ColorToRgb(Pen.Color);
    int X0 = FPenPos.x(), Y0 = FPenPos.y();
    const int Dx = std::abs(X - X0), Sx = X0 < X ? 1 : -1;
    const int Dy = -std::abs(Y - Y0), Sy = Y0 < Y ? 1 : -1;
    int Err = Dx + Dy;
    while (X0 != X || Y0 != Y) {
        Plot(X0, Y0, Rgb);
        const int E2 = 2 * Err;
        if (E2 >= Dy) { Err += Dy; X0 += Sx; }
        if (E2 <= Dx) { Err += Dx; Y0 += Sy; }
    }
    Changed(QRect(FPenPos, QPoint(X, Y)).normalized());
    FPenPos = QPoint(X, Y);
}
