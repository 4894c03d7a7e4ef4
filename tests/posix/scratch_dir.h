// A scratch directory for the Linux back end's tests: it makes the files and
// links a case needs, its parent directories with them, and goes with its
// object.
#pragma once
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

class ScratchDir {
public:
    ScratchDir() {
        char name[] = "/tmp/korvane-etiquette.XXXXXX";
        m_path = mkdtemp(name);
    }
    ~ScratchDir() { std::system(("rm -rf '" + m_path + "'").c_str()); }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& Path() const { return m_path; }
    // Writes relative and returns its path.
    std::string Make(const std::string& relative, const std::string& content = "") const {
        const std::string path = Parents(relative);
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    void Link(const std::string& relative, const std::string& target) const {
        const std::string path = Parents(relative);
        EXPECT_EQ(symlink(target.c_str(), path.c_str()), 0) << path;
    }

private:
    std::string Parents(const std::string& relative) const {
        for (std::size_t slash = relative.find('/'); slash != std::string::npos;
             slash = relative.find('/', slash + 1))
            mkdir((m_path + "/" + relative.substr(0, slash)).c_str(), 0755);
        return m_path + "/" + relative;
    }

    std::string m_path;
};
