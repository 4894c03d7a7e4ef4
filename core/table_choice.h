// Which of the two country tables in the program's folder is read. The
// installer puts only korvane-shipped.ini there and replaces it with each
// version; korvane.ini is the administrator's own copy, which no installer
// writes, so an edit survives every repair and upgrade.
#pragma once

// The table the installer ships and replaces.
constexpr char kShippedTableFile[] = "korvane-shipped.ini";

// True when the shipped table is read: only when korvane.ini is absent. A
// korvane.ini that is there but cannot be read is still the one read, so that
// its fault is reported and never passed over; with neither file,
// korvane.ini is the one reported missing.
constexpr bool ReadsShippedTable(bool tableThere, bool shippedThere) { return !tableThere && shippedThere; }
