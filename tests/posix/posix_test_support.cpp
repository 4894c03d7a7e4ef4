#include "posix_test_support.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

ScratchDir::ScratchDir() {
    char name[] = "/tmp/korvane-etiquette.XXXXXX";
    m_path = mkdtemp(name);
}

ScratchDir::~ScratchDir() { std::system(("rm -rf '" + m_path + "'").c_str()); }

std::string ScratchDir::Make(const std::string& relative, const std::string& content) const {
    const std::string path = Parents(relative);
    std::ofstream(path, std::ios::binary) << content;
    return path;
}

void ScratchDir::Link(const std::string& relative, const std::string& target) const {
    const std::string path = Parents(relative);
    EXPECT_EQ(symlink(target.c_str(), path.c_str()), 0) << path;
}

std::string ScratchDir::Parents(const std::string& relative) const {
    for (std::size_t slash = relative.find('/'); slash != std::string::npos; slash = relative.find('/', slash + 1))
        mkdir((m_path + "/" + relative.substr(0, slash)).c_str(), 0755);
    return m_path + "/" + relative;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Fhs(pid_t pid) {
    char text[16];
    std::snprintf(text, sizeof text, "%10d\n", pid);
    return text;
}

pid_t GonePid() {
    const pid_t child = fork();
    if (child == 0) _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

NamedChild::NamedChild(const char* command) {
    int ready[2];
    if (pipe(ready) != 0) return;
    m_pid = fork();
    if (m_pid == 0) {
        prctl(PR_SET_NAME, command);
        (void)!write(ready[1], "", 1);
        for (;;) pause();
    }
    char byte;
    close(ready[1]);
    // Named once it says so.
    if (m_pid > 0) (void)!read(ready[0], &byte, 1);
    close(ready[0]);
}

NamedChild::~NamedChild() {
    if (m_pid <= 0) return;
    kill(m_pid, SIGKILL);
    waitpid(m_pid, nullptr, 0);
}
