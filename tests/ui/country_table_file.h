// The country names of the korvane.ini the tests run the program with.
#pragma once
#include <string>
#include <vector>

// The first field of each line of KORVANE_BIN_DIR/korvane.ini, in file order.
std::vector<std::string> CountryNamesOfBuiltTable();
