// No two identifiers of one kind (one group of resource.h) share a value.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace {

TEST(ResourceIds, AreUniqueWithinEachGroup) {
    std::ifstream header(KORVANE_RESOURCE_H);
    ASSERT_TRUE(header.good());
    std::map<std::string, std::map<long, std::string>> groups;
    std::string group, line;
    int defines = 0;
    while (std::getline(header, line)) {
        if (line.rfind("// ", 0) == 0) group = line.substr(3);
        if (line.rfind("#define ", 0) != 0) continue;
        std::istringstream fields(line.substr(8));
        std::string name, value;
        fields >> name >> value;
        if (value.empty() || !std::isdigit(static_cast<unsigned char>(value[0]))) continue;
        const long number = std::stol(value, nullptr, 0);
        auto [it, fresh] = groups[group].emplace(number, name);
        EXPECT_TRUE(fresh) << name << " and " << it->second << " share " << number << " in "
                           << group;
        ++defines;
    }
    EXPECT_GT(defines, 20);
    EXPECT_GE(groups.size(), 8u);
}

}  // namespace
