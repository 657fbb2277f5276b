#pragma once

#include "framework/StringTable.h"

#include <QString>

// String Id of Module, or of the program's own resources when Module is null.
// Raises EResNotFound for a missing or empty string.
QString LoadResString(unsigned Id, TResourceModule Module = nullptr);
