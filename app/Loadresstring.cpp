#include "app/Loadresstring.h"

#include "framework/Exceptions.h"

using namespace Exceptions;

namespace {

constexpr int BufferSize = 1024;

// This message reports that the string table failed, so it cannot come from that table.
constexpr char16_t SCannotLoadResString[] = u"Cannot load resource string with ID = ";

// Filled on the first call without a module and kept for the rest of the run.
TResourceModule ModuleCache = nullptr;

} // namespace

QString LoadResString(unsigned Id, TResourceModule Module)
{
    if (!Module) {
        if (!ModuleCache)
            ModuleCache = FindResourceHInstance();
        Module = ModuleCache;
    }
    QChar Buffer[BufferSize];
    const int Length = LoadString(Module, Id, Buffer, BufferSize);
    if (Length > 0)
        return QString(Buffer, Length);
    throw EResNotFound(QString::fromUtf16(SCannotLoadResString) + QString::number(Id));
}
