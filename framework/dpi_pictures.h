// Pictures at the system's DPI. The program's bitmaps are drawn for 96 DPI,
// and the program is system-DPI aware: Windows enlarges its dialogs with the
// DPI and leaves its pictures as they are. So each picture is enlarged here
// by the same ratio, by area (framework/area_resample.h); at 96 DPI a
// picture is the resource itself.
#pragma once
#include <windows.h>

// The program's bitmap resource of that name, at the system's DPI; the
// caller owns it. Null when there is no such resource.
HBITMAP LoadDpiBitmap(const char* name);
// A copy of the picture at the system's DPI, which the caller owns; null at
// 96 DPI, or when none could be made.
HBITMAP DpiCopy(HBITMAP picture);
