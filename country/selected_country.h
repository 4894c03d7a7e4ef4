// The country the window last recognised or chose for setting.
#pragma once

// Index into the main window's table. UI thread only.
extern int g_selectedCountry;
