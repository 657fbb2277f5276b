#!/bin/sh
# The strip of the packages' install: as Debian strips, all but the dynamic symbols, and the
# sections that nothing reads at run time.
exec strip --remove-section=.comment --remove-section=.note --strip-unneeded "$@"
