// A scratch directory for the Linux back end's tests: it makes the files and
// links a case needs, its parent directories with them, and goes with its
// object.
#pragma once
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

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
        std::filesystem::create_symlink(target, Parents(relative));
    }

private:
    std::string Parents(const std::string& relative) const {
        const std::filesystem::path path = m_path + "/" + relative;
        std::filesystem::create_directories(path.parent_path());
        return path;
    }

    std::string m_path;
};
