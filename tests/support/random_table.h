// A random country table whose records are known by construction: lines of
// random fields (any byte but the delimiters, CR, Ctrl-Z and NUL), some
// empty, some lines short of four fields, blank lines and lines of commas,
// with LF or CR LF ends. The records follow from the file's rules: empty
// fields vanish, a line needs four fields, values are cut to their widths,
// and at most 200 lines take a record.
#pragma once
#include <string>
#include <vector>

struct RandomTable {
    std::string content;
    std::vector<std::string> records;  // "name|id|bitmap|code" (a field may hold '|' too)
    std::vector<std::string> names;
};

inline RandomTable MakeRandomTable(unsigned seed, int lines) {
    unsigned state = seed;
    const auto next = [&state](unsigned range) { return (state = state * 1103515245u + 12345u) / 65536 % range; };
    const unsigned widths[] = {79, 19, 11, 2};
    RandomTable table;
    for (int i = 0; i < lines; ++i) {
        std::vector<std::string> fields;
        std::string line(next(3), ',');
        for (unsigned f = 0, count = next(7); f < count; ++f) {
            std::string field;
            for (unsigned n = next(4) == 0 ? 0 : 1 + next(40); field.size() < n;)
                if (const char c = static_cast<char>(1 + next(255));
                    c != ',' && c != '\n' && c != '\r' && c != '\x1a')
                    field += c;
            line += field + ",";
            if (!field.empty()) fields.push_back(field);
        }
        table.content += line + (next(2) ? "\r\n" : "\n");
        if (fields.size() < 4 || table.records.size() == 200) continue;
        std::string record;
        for (int f = 0; f < 4; ++f) record += (f ? "|" : "") + fields[f].substr(0, widths[f]);
        table.records.push_back(record);
        table.names.push_back(fields[0].substr(0, widths[0]));
    }
    return table;
}
