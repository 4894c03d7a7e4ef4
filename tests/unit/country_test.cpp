// The country table reader's rows through the Windows C runtime, whose text
// mode reads CR LF as LF and Ctrl-Z as the end of the file.
#include "tests/support/table_rows.h"

namespace {

TEST(CountryFile, Rows) { RunTableRows(true); }

}  // namespace
