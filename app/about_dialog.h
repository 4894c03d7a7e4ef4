// The About box: the framework's defaults end it (OK, Escape, its close box).
#pragma once
#include "framework/dialog.h"
#include "res/resource.h"

class CAboutDlg : public CDialog {
public:
    CAboutDlg() : CDialog(IDD_ABOUTBOX, nullptr) {}
};
