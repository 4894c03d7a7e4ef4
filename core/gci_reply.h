// What a modem says in answer to "+GCI?" and "+GCI=?". Modems write it in
// several forms: with the "+GCI:" prefix, its space or none; or bare, the
// code or the list alone on its line; the hex digits in either case.
#pragma once
#include <string>
#include <vector>

#include "core/gci_codes.h"

// The code of the first line that names one: "+GCI: B5", "+GCI:b5", or a
// line that is nothing but one or two hex digits ("B5"); -1 when none does.
int ParseGciCountry(const std::vector<std::string>& lines);

// The codes of the first line that lists some: single codes and ranges
// mixed as a modem lists them, in parentheses or bare, after "+GCI:" or
// alone ("+GCI: (00,B4,B5)", "+GCI: (00-FF)", "00,B4,B5"); false when no
// line holds a list. listed is the list as the modem wrote it, without
// the parentheses.
bool ParseGciList(const std::vector<std::string>& lines, GciCodeSet& codes, std::string& listed);
