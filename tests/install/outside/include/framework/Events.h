// The program's own events header, found first on its include path: the library's headers must
// not take it for theirs.
#pragma once

struct TProgramEvent {
    int Code = 0;
};
