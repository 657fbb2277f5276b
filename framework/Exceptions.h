#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

// The framework's exception family: every failure the program reports carries its message here.
// Named by its unit (Exceptions::ERangeError), so that a program's own Exception class stays its own.
namespace Exceptions {

class Exception : public std::exception {
public:
    explicit Exception(const QString& Message);
    const QString& Message() const { return FMessage; }
    const char* what() const noexcept override { return FUtf8.constData(); }

private:
    QString FMessage;
    QByteArray FUtf8;
};

// Declares an exception class of the family, taking its message like its base.
#define ZQ_DECLARE_EXCEPTION(Name, Base) \
    class Name : public Base {           \
    public:                              \
        using Base::Base;                \
    };

ZQ_DECLARE_EXCEPTION(EResNotFound, Exception)
ZQ_DECLARE_EXCEPTION(EStreamError, Exception)
ZQ_DECLARE_EXCEPTION(EFCreateError, EStreamError)
ZQ_DECLARE_EXCEPTION(EFOpenError, EStreamError)
ZQ_DECLARE_EXCEPTION(EReadError, EStreamError)
ZQ_DECLARE_EXCEPTION(EWriteError, EStreamError)
ZQ_DECLARE_EXCEPTION(ERangeError, Exception)
ZQ_DECLARE_EXCEPTION(EConvertError, Exception)
ZQ_DECLARE_EXCEPTION(EListError, Exception)

} // namespace Exceptions

// This project's own code names the family unqualified.
#ifdef ZQ_FRAMEWORK_SHORT_NAMES
using namespace Exceptions;
#endif

