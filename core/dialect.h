// The two ways a modem is told its country.
#pragma once

enum class Dialect {
    Auto,  // not known yet: a supported card speaks T19, any other modem Gci
    T19,   // the PC card: identified by "ati3", asked with "i9", set with "%t19,0,<code>"
    Gci,   // a modem that answers "AT" with OK: "+GCI?", "+GCI=?", "+GCI=<code>"
};

// "auto", "t19", "gci".
const char* DialectName(Dialect dialect);
// The dialect of that name, letter case as written; false for any other text.
bool ParseDialect(const char* text, Dialect& dialect);
