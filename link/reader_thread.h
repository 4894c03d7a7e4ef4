// The reader thread of a port connection.
#pragma once

// Waits for received characters, reads them and feeds them to the record's
// line matcher until the connection is stopped; then frees the record.
unsigned __stdcall ReaderThreadProc(void* record);
