/// \file
/// The framework's exception family, Exceptions::Exception and the classes derived from it.
#pragma once

#include <zq/framework/Export.h>

#include <QByteArray>
#include <QString>
#include <exception>

/// The framework's exception family: every failure the program reports carries its message here.
/// Named by its unit (Exceptions::ERangeError), so that a program's own Exception class stays its own.
namespace Exceptions {

/// The base of the family, derived from std::exception: a failure with its message.
class ZQ_EXPORT Exception : public std::exception {
public:
    /// An exception that reports Message.
    explicit Exception(const QString& Message);
    /// The message, as the failure reports it.
    const QString& Message() const { return FMessage; }
    /// The message in UTF-8.
    const char* what() const noexcept override { return FUtf8.constData(); }

private:
    QString FMessage;
    QByteArray FUtf8;
};

/// Declares an exception class of the family, taking its message like its base.
#define ZQ_DECLARE_EXCEPTION(Name, Base) \
    class ZQ_EXPORT Name : public Base { \
    public:                              \
        using Base::Base;                \
    };

/// A resource, such as a string of a string table, that does not exist.
ZQ_DECLARE_EXCEPTION(EResNotFound, Exception)
/// The base of the file errors.
ZQ_DECLARE_EXCEPTION(EStreamError, Exception)
/// A file that cannot be created: "Cannot create file <name>", the name with the system's
/// separators (QDir::toNativeSeparators()).
ZQ_DECLARE_EXCEPTION(EFCreateError, EStreamError)
/// A file that cannot be opened: "Cannot open file <name>", the name with the system's separators.
ZQ_DECLARE_EXCEPTION(EFOpenError, EStreamError)
/// A read that fell short ("Stream read error"), or a checksummed file whose sum does not match
/// (the message then ends in the file's name).
ZQ_DECLARE_EXCEPTION(EReadError, EStreamError)
/// A write that fell short: "Stream write error".
ZQ_DECLARE_EXCEPTION(EWriteError, EStreamError)
/// An index outside its range, such as a data row of ZQ::TZQBitGrid ("TZQBitGrid: data row
/// index out of bounds").
ZQ_DECLARE_EXCEPTION(ERangeError, Exception)
/// An object that cannot be copied into another: "Cannot assign a <source class> to a <target
/// class>".
ZQ_DECLARE_EXCEPTION(EConvertError, Exception)
/// An index outside a list, such as a collection's: "List index out of bounds (<index>)".
ZQ_DECLARE_EXCEPTION(EListError, Exception)

} // namespace Exceptions
