#include "core/dialect.h"

#include <cstring>

namespace {

const struct {
    Dialect dialect;
    const char* name;
} kDialects[] = {{Dialect::Auto, "auto"}, {Dialect::T19, "t19"}, {Dialect::Gci, "gci"}};

}  // namespace

const char* DialectName(Dialect dialect) {
    for (const auto& entry : kDialects)
        if (entry.dialect == dialect) return entry.name;
    return "auto";
}

bool ParseDialect(const char* text, Dialect& dialect) {
    for (const auto& entry : kDialects)
        if (std::strcmp(text, entry.name) == 0) {
            dialect = entry.dialect;
            return true;
        }
    return false;
}
