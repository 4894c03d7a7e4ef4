// Keeps the program's own folder out of the search for DLLs loaded by name.
#pragma once

// DLLs that the system's own DLLs load later by name (uxtheme.dll,
// version.dll...) come from the system folder only, never from beside the
// program (a downloads folder, say). Call first thing, before any such load.
void LoadSystemDllsFromSystemFolderOnly();
