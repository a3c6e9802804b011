#pragma once
// Ending a process together with every process it started, directly or
// further down: the way an app's local server is stopped.

#include <sys/types.h>

#include <optional>
#include <string_view>
#include <vector>

namespace sorvenia::ArbolProcesos {

// The direct children of `pid`, in ascending id order (what the process
// table says right now; a child born after the call is not listed).
std::vector<pid_t> hijos(pid_t pid);

// The parent id written in the text of a /proc/<id>/stat file, or nothing
// when the text is not one. The command name in parentheses may hold any
// byte, parentheses and spaces included, so the fields are read after the
// last ")".
std::optional<pid_t> padreEnStat(std::string_view stat);

// SIGTERM to every descendant of `pid`, depth first (each child's own
// descendants before the child, the children in the order listed), then to
// `pid` itself. Ids of 0 and below are ignored. Returns at once: nothing
// waits for a process to end, nothing escalates to SIGKILL, and a process
// that is already gone is no error. Each process's children are listed just
// before its own subtree is handled.
void matarArbol(pid_t pid);

}  // namespace sorvenia::ArbolProcesos
