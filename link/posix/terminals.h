// The terminals that are no modem's to take: our own (the controlling
// terminal and those of our standard streams), a login session's, and the
// kernel's console.
#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

// The device number of a process's controlling terminal, from the tty_nr
// field of /proc/<pid>/stat; 0 when it has none (or cannot be read).
dev_t ControllingTerminal(const std::string& pid, const std::string& procRoot = "/proc");

// Which of our own terminals the device is: "the controlling terminal",
// "standard input", "standard output" or "standard error"; "" for none.
std::string OwnTerminalRole(dev_t device);

// The names (ttyS0) of the terminals the kernel writes its console to, from
// <sysClassTty>/console/active, with an indirection such as tty0 (the
// foreground virtual console) followed to the terminal it names.
std::vector<std::string> ConsoleNames(const std::string& sysClassTty = "/sys/class/tty");
