/* Stands in for a DLL planted beside korvane.exe: if the program ever loads
 * it, the process ends at once with exit code 66. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance;
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) ExitProcess(66);
    return TRUE;
}
