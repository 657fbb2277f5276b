#include "framework/Exceptions.h"

Exceptions::Exception::Exception(const QString& Message) : FMessage(Message), FUtf8(Message.toUtf8()) {}
