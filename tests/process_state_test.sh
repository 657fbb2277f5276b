#!/usr/bin/env bash
# The library runs inside other people's programs: it must call nothing that changes what belongs to
# the whole process (signal handlers and masks, the file mode mask, the environment, the locale,
# threads) nor map files, whose truncation by another process would raise a signal in the host.
set -u
library=$1
forbidden='^(signal|sigaction|bsd_signal|sysv_signal|sigset|sigprocmask|pthread_sigmask|sigsetjmp|__sigsetjmp|siglongjmp|umask|setenv|putenv|unsetenv|clearenv|setlocale|pthread_create|thrd_create|mmap|mmap64)(@|$)'
found=$(nm -D --undefined-only "$library" | awk '{print $NF}' | grep -E "$forbidden")
if [ -n "$found" ]; then
  echo "FAIL: $library calls"
  echo "$found"
  exit 1
fi
echo "ok: $library imports none of the process-wide calls"
