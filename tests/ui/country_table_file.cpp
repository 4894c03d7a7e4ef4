#include "tests/ui/country_table_file.h"

#include <fstream>

#include "tools/driver/korvane_process.h"

std::vector<std::string> CountryNamesOfBuiltTable() {
    std::ifstream file(drv::KorvaneBinDir() + "korvane.ini");
    std::vector<std::string> names;
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        names.push_back(line.substr(0, line.find(',')));
    }
    return names;
}
