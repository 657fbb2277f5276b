#pragma once

#include "framework/Application.h"

#include <QColor>
#include <QImage>
#include <QStringList>

// Collects what the exception display would show, instead of a modal box.
class TShownExceptions {
public:
    TShownExceptions()
    {
        SetExceptionDisplay([this](const QString& Caption, const QString& Message) {
            Captions << Caption;
            Messages << Message;
        });
    }
    ~TShownExceptions() { SetExceptionDisplay(nullptr); }

    QStringList Captions;
    QStringList Messages;
};

inline QRgb PixelAt(const QImage& Image, int X, int Y)
{
    return Image.pixel(X, Y) & 0xFFFFFFu;
}
