// What the Linux back end's tests share: a scratch directory that makes the
// files and links a case needs, files read whole, the FHS form of a lock, and
// processes the tests start and end.
#pragma once
#include <sys/types.h>

#include <string>

class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& Path() const { return m_path; }
    // Writes relative (its directories made) and returns its path.
    std::string Make(const std::string& relative, const std::string& content = "") const;
    void Link(const std::string& relative, const std::string& target) const;

private:
    std::string Parents(const std::string& relative) const;

    std::string m_path;
};

std::string ReadAll(const std::string& path);
// The FHS form of a lock: ten digits, right-aligned, and a newline.
std::string Fhs(pid_t pid);
// A PID that no process has: a child that has ended and been reaped.
pid_t GonePid();

// A child process under a command name of our choosing, alive until the
// object goes: its name is known without asking /proc.
class NamedChild {
public:
    explicit NamedChild(const char* command);
    ~NamedChild();
    NamedChild(const NamedChild&) = delete;
    NamedChild& operator=(const NamedChild&) = delete;
    pid_t Pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
};
