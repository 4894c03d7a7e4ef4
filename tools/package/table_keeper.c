/* Custom actions of the Korvane MSI for the one decision Windows Installer
 * cannot make itself: whether the installed korvane.ini is still the table
 * Korvane shipped (and may follow an upgrade) or an administrator's edit (and
 * is never touched). The installer owns every other write: korvane.ini is a
 * component it installs only when missing and never replaces or removes; the
 * shipped table is installed beside it as korvane-shipped.ini.
 *
 * CheckCountryTable (immediate, reads only) compares the two files and, when
 * they are equal, sets UneditedTableFolder to the install folder. With it, an
 * uninstall's RemoveFile row deletes the unedited korvane.ini, and an upgrade
 * runs UpdateCountryTable (deferred, as SYSTEM): it moves the unedited table
 * to korvane.ini.previous and writes the newly installed korvane-shipped.ini
 * as korvane.ini. UndoUpdateCountryTable (rollback) moves the previous table
 * back; CommitUpdateCountryTable deletes it once the upgrade is done.
 *
 * The deferred actions write as SYSTEM into a folder that standard users may
 * be able to write, so they hold the folder open against renaming, and refuse
 * a folder on a path through a junction or a symbolic link, and any of their
 * files that is a reparse point or a folder. Every action reports success: a
 * table that cannot be updated stays as it was and must not fail the install. */
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#define TABLE L"korvane.ini"
#define SHIPPED_TABLE L"korvane-shipped.ini"
#define PREVIOUS_TABLE L"korvane.ini.previous"
/* A country table is about a kilobyte; anything far larger is no table of ours. */
#define MAX_TABLE_SIZE (1024 * 1024)

/* Writes one line to the installer's log. */
static void Log(MSIHANDLE install, const wchar_t* text, const wchar_t* path) {
    MSIHANDLE record = MsiCreateRecord(2);
    if (!record) return;
    MsiRecordSetStringW(record, 0, L"Korvane: [1] [2]");
    MsiRecordSetStringW(record, 1, text);
    MsiRecordSetStringW(record, 2, path ? path : L"");
    MsiProcessMessage(install, INSTALLMESSAGE_INFO, record);
    MsiCloseHandle(record);
}

/* A property's value, allocated; NULL when it is empty or cannot be read. */
static wchar_t* Property(MSIHANDLE install, const wchar_t* name) {
    wchar_t empty[1] = L"";
    DWORD length = 0;
    if (MsiGetPropertyW(install, name, empty, &length) != ERROR_MORE_DATA || length == 0) return NULL;
    wchar_t* value = malloc((length + 1) * sizeof *value);
    length += 1;
    if (value && MsiGetPropertyW(install, name, value, &length) == ERROR_SUCCESS && length > 0) return value;
    free(value);
    return NULL;
}

/* "<folder><name>", allocated; the folder ends with a backslash. */
static wchar_t* InFolder(const wchar_t* folder, const wchar_t* name) {
    size_t size = wcslen(folder) + wcslen(name) + 1;
    wchar_t* path = malloc(size * sizeof *path);
    if (path) {
        wcscpy(path, folder);
        wcscat(path, name);
    }
    return path;
}

/* TRUE when every folder from the drive's root down to folder (which ends
 * with a backslash) exists and none is a junction or a symbolic link. */
static BOOL PlainFolderPath(const wchar_t* folder) {
    size_t length = wcslen(folder);
    if (length < 4 || folder[1] != L':' || folder[2] != L'\\' || folder[length - 1] != L'\\') return FALSE;
    wchar_t* prefix = malloc((length + 1) * sizeof *prefix);
    if (!prefix) return FALSE;
    BOOL plain = TRUE;
    for (size_t end = 3; plain && end < length; ++end) {
        if (folder[end] != L'\\') continue;
        wmemcpy(prefix, folder, end);
        prefix[end] = L'\0';
        DWORD attributes = GetFileAttributesW(prefix);
        plain = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
                !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
    }
    free(prefix);
    return plain;
}

/* Opens the folder so that it cannot be renamed, moved or deleted while the
 * handle is held; INVALID_HANDLE_VALUE when it is not a plain folder. */
static HANDLE HoldFolder(const wchar_t* folder) {
    if (!PlainFolderPath(folder)) return INVALID_HANDLE_VALUE;
    HANDLE handle = CreateFileW(folder, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, NULL);
    BY_HANDLE_FILE_INFORMATION info;
    if (handle != INVALID_HANDLE_VALUE &&
        (!GetFileInformationByHandle(handle, &info) || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
         (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))) {
        CloseHandle(handle);
        handle = INVALID_HANDLE_VALUE;
    }
    return handle;
}

/* Opens a file itself, never what a link points to; INVALID_HANDLE_VALUE for
 * a missing file, a folder or a reparse point. */
static HANDLE OpenPlainFile(const wchar_t* path, DWORD access) {
    HANDLE file =
        CreateFileW(path, access, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, NULL);
    BY_HANDLE_FILE_INFORMATION info;
    if (file != INVALID_HANDLE_VALUE &&
        (!GetFileInformationByHandle(file, &info) ||
         (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))) {
        CloseHandle(file);
        file = INVALID_HANDLE_VALUE;
    }
    return file;
}

typedef struct {
    char* bytes;
    DWORD size;
} Contents;

/* Reads a whole plain file; FALSE if it is missing, not plain or too large. */
static BOOL ReadPlainFile(const wchar_t* path, Contents* contents) {
    contents->bytes = NULL;
    contents->size = 0;
    HANDLE file = OpenPlainFile(path, GENERIC_READ);
    if (file == INVALID_HANDLE_VALUE) return FALSE;
    DWORD high = 0, size = GetFileSize(file, &high), got = 0;
    BOOL read = size != INVALID_FILE_SIZE && high == 0 && size <= MAX_TABLE_SIZE &&
                (contents->bytes = malloc(size ? size : 1)) != NULL &&
                ReadFile(file, contents->bytes, size, &got, NULL) && got == size;
    CloseHandle(file);
    if (!read) {
        free(contents->bytes);
        contents->bytes = NULL;
        return FALSE;
    }
    contents->size = size;
    return TRUE;
}

static BOOL SameContents(const Contents* a, const Contents* b) {
    return a->size == b->size && memcmp(a->bytes, b->bytes, a->size) == 0;
}

/* Deletes a plain file; TRUE if none is left at path. */
static BOOL DeletePlainFile(const wchar_t* path) {
    if (GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES) return TRUE;
    HANDLE file = OpenPlainFile(path, DELETE);
    if (file == INVALID_HANDLE_VALUE) return FALSE;
    FILE_DISPOSITION_INFO disposition = {TRUE};
    BOOL deleted = SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition);
    CloseHandle(file);
    return deleted;
}

/* Writes contents to a new file at path; nothing may be there yet. */
static BOOL WriteNewFile(const wchar_t* path, const Contents* contents) {
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return FALSE;
    DWORD written = 0;
    BOOL done = WriteFile(file, contents->bytes, contents->size, &written, NULL) && written == contents->size;
    done = CloseHandle(file) && done;
    if (!done) DeleteFileW(path);
    return done;
}

/* The paths a deferred action works on, from its CustomActionData. */
typedef struct {
    HANDLE folder;
    wchar_t *table, *shipped, *previous;
} Paths;

static void FreePaths(Paths* paths) {
    if (paths->folder != INVALID_HANDLE_VALUE) CloseHandle(paths->folder);
    free(paths->table);
    free(paths->shipped);
    free(paths->previous);
}

static BOOL TakePaths(MSIHANDLE install, const wchar_t* folder, Paths* paths) {
    paths->folder = INVALID_HANDLE_VALUE;
    paths->table = paths->shipped = paths->previous = NULL;
    if (!folder) return FALSE;
    paths->folder = HoldFolder(folder);
    if (paths->folder == INVALID_HANDLE_VALUE) {
        Log(install,
            L"the install folder is not a plain folder (a junction or a link on its path?); "
            L"korvane.ini is left alone:",
            folder);
        return FALSE;
    }
    paths->table = InFolder(folder, TABLE);
    paths->shipped = InFolder(folder, SHIPPED_TABLE);
    paths->previous = InFolder(folder, PREVIOUS_TABLE);
    return paths->table && paths->shipped && paths->previous;
}

/* A step of an action on the tables in a held install folder. */
typedef void (*TableStep)(MSIHANDLE install, const wchar_t* folder, const Paths* paths);

/* Runs a step on the folder the property names, held for the step's time;
 * a folder that cannot be held is left alone. An action never fails the
 * install: a table it cannot handle stays as it is. */
static UINT OnTables(MSIHANDLE install, const wchar_t* property, TableStep step) {
    wchar_t* folder = Property(install, property);
    Paths paths;
    if (TakePaths(install, folder, &paths)) step(install, folder, &paths);
    FreePaths(&paths);
    free(folder);
    return ERROR_SUCCESS;
}

/* Reads both tables (freed by the caller); TRUE when both were read. */
static BOOL ReadTables(const Paths* paths, Contents* table, Contents* shipped) {
    return ReadPlainFile(paths->table, table) && ReadPlainFile(paths->shipped, shipped);
}

static void CheckStep(MSIHANDLE install, const wchar_t* folder, const Paths* paths) {
    Contents table = {NULL, 0}, shipped = {NULL, 0};
    BOOL unedited = ReadTables(paths, &table, &shipped) && SameContents(&table, &shipped);
    if (unedited) MsiSetPropertyW(install, L"UneditedTableFolder", folder);
    Log(install, unedited ? L"korvane.ini is the shipped table:" : L"korvane.ini is kept as it is:", paths->table);
    free(table.bytes);
    free(shipped.bytes);
}

static void UpdateStep(MSIHANDLE install, const wchar_t* folder, const Paths* paths) {
    Contents table = {NULL, 0}, shipped = {NULL, 0};
    (void)folder;
    /* A previous table left by an earlier upgrade (one whose commit did not
     * run) must not be put back by this one's rollback. */
    if (DeletePlainFile(paths->previous) && ReadTables(paths, &table, &shipped) &&
        !SameContents(&table, &shipped)) {
        if (!MoveFileExW(paths->table, paths->previous, 0)) {
            Log(install, L"korvane.ini could not be set aside; it stays as it was:", paths->table);
        } else if (!WriteNewFile(paths->table, &shipped)) {
            MoveFileExW(paths->previous, paths->table, 0);
            Log(install, L"the new table could not be written; korvane.ini stays as it was:", paths->table);
        } else {
            Log(install, L"korvane.ini is now the new shipped table:", paths->table);
        }
    }
    free(table.bytes);
    free(shipped.bytes);
}

static void UndoStep(MSIHANDLE install, const wchar_t* folder, const Paths* paths) {
    HANDLE previous = OpenPlainFile(paths->previous, GENERIC_READ);
    (void)folder;
    if (previous == INVALID_HANDLE_VALUE) return;
    CloseHandle(previous);
    if (DeletePlainFile(paths->table) && MoveFileExW(paths->previous, paths->table, 0))
        Log(install, L"korvane.ini is the previous table again:", paths->table);
    else
        Log(install, L"the previous table could not be put back; it is kept as:", paths->previous);
}

static void CommitStep(MSIHANDLE install, const wchar_t* folder, const Paths* paths) {
    (void)install;
    (void)folder;
    DeletePlainFile(paths->previous);
}

/* Immediate, before anything is written: is korvane.ini the shipped table? */
UINT __stdcall CheckCountryTable(MSIHANDLE install) { return OnTables(install, L"INSTALLDIR", CheckStep); }

/* Deferred, after InstallFiles: the unedited table follows the upgrade. */
UINT __stdcall UpdateCountryTable(MSIHANDLE install) { return OnTables(install, L"CustomActionData", UpdateStep); }

/* Rollback of UpdateCountryTable: the previous table goes back in place. */
UINT __stdcall UndoUpdateCountryTable(MSIHANDLE install) {
    return OnTables(install, L"CustomActionData", UndoStep);
}

/* Commit of UpdateCountryTable: the previous table is no longer needed. */
UINT __stdcall CommitUpdateCountryTable(MSIHANDLE install) {
    return OnTables(install, L"CustomActionData", CommitStep);
}
