#pragma once

#include "framework/Exceptions.h"

#include <QFile>
#include <QString>

#include <cstdio>
#include <functional>

#include <sys/wait.h>
#include <unistd.h>

// The identity a child of root takes so that file permissions bind it as they bind a player.
constexpr uid_t NobodyId = 65534;

// Hands a file to the unprivileged child when the tests run as root.
inline bool GiveToChild(const QString& Path)
{
    return geteuid() != 0 || ::chown(QFile::encodeName(Path).constData(), NobodyId, NobodyId) == 0;
}

// Starts Action in a child process, which ends with what Action returns (1 for an exception).
// With Unprivileged, a child of root runs as nobody.
inline pid_t StartChild(const std::function<int()>& Action, bool Unprivileged = false)
{
    std::fflush(nullptr);
    const pid_t Child = fork();
    if (Child == 0) {
        if (Unprivileged && geteuid() == 0 && (setgid(NobodyId) != 0 || setuid(NobodyId) != 0))
            _exit(125);
        int Code;
        try {
            Code = Action();
        } catch (const Exceptions::Exception& Error) {
            std::fprintf(stderr, "child: %s\n", Error.what());
            Code = 1;
        }
        std::fflush(nullptr);
        _exit(Code);
    }
    return Child;
}

// The exit code of a child, or minus the signal that ended it.
inline int WaitForChild(pid_t Child)
{
    int Status = -1;
    if (Child > 0)
        while (waitpid(Child, &Status, 0) < 0 && errno == EINTR) {
        }
    return WIFEXITED(Status) ? WEXITSTATUS(Status) : WIFSIGNALED(Status) ? -WTERMSIG(Status) : -1000;
}

// Runs Action in a child process and returns its exit code, which is what Action returns (1 for an
// exception), or minus the signal that ended it. With Unprivileged, a child of root runs as nobody.
inline int RunInChild(const std::function<int()>& Action, bool Unprivileged = false)
{
    return WaitForChild(StartChild(Action, Unprivileged));
}
