#include "framework/controls_3d.h"

#include <commctrl.h>

BOOL Enable3dControlsStatic() {
    INITCOMMONCONTROLSEX init = {sizeof(init), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    return InitCommonControlsEx(&init);
}
