// What a modem says in answer to "+GCI?" and "+GCI=?".
#pragma once
#include <string>
#include <vector>

#include "core/gci_codes.h"

// The code of a "+GCI: B5" line (the space may be missing, the hex digits
// are in either case); -1 when no line holds one.
int ParseGciCountry(const std::vector<std::string>& lines);

// The codes of a "+GCI: (00,B4,B5)" or "+GCI: (00-FF)" line, single codes
// and ranges mixed as a modem lists them; false when no line holds a list.
// listed is the list as the modem wrote it, between the parentheses.
bool ParseGciList(const std::vector<std::string>& lines, GciCodeSet& codes, std::string& listed);
