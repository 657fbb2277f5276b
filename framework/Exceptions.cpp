#include "framework/Exceptions.h"

Exception::Exception(const QString& Message) : FMessage(Message), FUtf8(Message.toUtf8()) {}
