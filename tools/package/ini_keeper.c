/* Custom actions of the Korvane MSI that keep a korvane.ini an administrator
 * edited. An uninstall (and the removal of the old version during an upgrade)
 * deletes the installed korvane.ini, so before that happens an edited one is
 * copied to korvane.ini.edited; an install puts korvane.ini.edited back in
 * place. "Edited" means: not the table shipped in this package, which is
 * embedded in this DLL as a resource.
 *
 * Both actions are deferred; their CustomActionData is the install folder,
 * ending with a backslash. They report success in every case: a table that
 * cannot be kept must not block an uninstall. */
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <string.h>

#define SHIPPED_INI_RESOURCE 1

static HMODULE g_module;

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) g_module = instance;
    return TRUE;
}

/* Builds "<install folder><name>" from the action's data; FALSE if it does not fit. */
static BOOL FolderPath(MSIHANDLE install, const char *name, char *path, DWORD size) {
    DWORD length = size;
    if (MsiGetPropertyA(install, "CustomActionData", path, &length) != ERROR_SUCCESS) return FALSE;
    if (length == 0 || length + strlen(name) + 1 > size) return FALSE;
    strcpy(path + length, name);
    return TRUE;
}

/* TRUE when the file at path holds exactly the table shipped in this package. */
static BOOL IsShippedTable(const char *path) {
    HRSRC found = FindResourceA(g_module, MAKEINTRESOURCEA(SHIPPED_INI_RESOURCE), (LPCSTR)RT_RCDATA);
    HGLOBAL loaded = found ? LoadResource(g_module, found) : NULL;
    const char *shipped = loaded ? (const char *)LockResource(loaded) : NULL;
    DWORD shippedSize = found ? SizeofResource(g_module, found) : 0;
    if (!shipped) return FALSE;

    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return FALSE;
    BOOL same = GetFileSize(file, NULL) == shippedSize;
    char buffer[4096];
    DWORD offset = 0, got = 0;
    while (same && offset < shippedSize && ReadFile(file, buffer, sizeof(buffer), &got, NULL) && got > 0) {
        same = offset + got <= shippedSize && memcmp(buffer, shipped + offset, got) == 0;
        offset += got;
    }
    CloseHandle(file);
    return same && offset == shippedSize;
}

/* Before the files are removed: copy an edited korvane.ini to korvane.ini.edited. */
UINT __stdcall KeepEditedIni(MSIHANDLE install) {
    char ini[MAX_PATH], kept[MAX_PATH];
    if (!FolderPath(install, "korvane.ini", ini, MAX_PATH) ||
        !FolderPath(install, "korvane.ini.edited", kept, MAX_PATH))
        return ERROR_SUCCESS;
    if (GetFileAttributesA(ini) == INVALID_FILE_ATTRIBUTES || IsShippedTable(ini)) return ERROR_SUCCESS;
    CopyFileA(ini, kept, FALSE);
    return ERROR_SUCCESS;
}

/* After the files are installed: put a kept korvane.ini.edited back as korvane.ini. */
UINT __stdcall RestoreEditedIni(MSIHANDLE install) {
    char ini[MAX_PATH], kept[MAX_PATH];
    if (!FolderPath(install, "korvane.ini", ini, MAX_PATH) ||
        !FolderPath(install, "korvane.ini.edited", kept, MAX_PATH))
        return ERROR_SUCCESS;
    if (GetFileAttributesA(kept) == INVALID_FILE_ATTRIBUTES) return ERROR_SUCCESS;
    MoveFileExA(kept, ini, MOVEFILE_REPLACE_EXISTING);
    return ERROR_SUCCESS;
}
