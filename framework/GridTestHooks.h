#pragma once

#include "framework/Grids_p.h"

#include <functional>

// The grids' seams for this project's tests: what a canvas writes and what a grid asks to repaint.
// They live in the private classes, out of the installed headers, so that no program comes to rely
// on them.
struct TGridTestHooks {
    static std::function<void(const QRect& Rect, int X, int Y, const QString& Text)>& OnText(TGridCanvas& Canvas)
    {
        return TGridCanvasPrivate::Of(Canvas).FOnText;
    }
    static std::function<void(const QRect&)>& OnInvalidateRect(TCustomGrid& Grid)
    {
        return TCustomGridPrivate::Of(Grid).FOnInvalidateRect;
    }
};
