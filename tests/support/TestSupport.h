#pragma once

#include "framework/Application.h"
#include "framework/Exceptions.h"

#include <QColor>
#include <QImage>
#include <QStringList>

#include <gtest/gtest.h>

#include <functional>

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

// The message of the framework exception an action raises; empty when it raises none.
inline QString MessageOf(const std::function<void()>& Action)
{
    try {
        Action();
    } catch (const Exceptions::Exception& E) {
        return E.Message();
    }
    return QString();
}

// The message of the exception of type E an action raises; fails the test when it raises none.
template <class E>
QString MessageOf(const std::function<void()>& Action)
{
    try {
        Action();
    } catch (const E& Error) {
        return Error.Message();
    }
    ADD_FAILURE() << "no exception was raised";
    return {};
}
