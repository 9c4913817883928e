#pragma once
// Ids of the handler tests' dialog templates (Handlers.Test.rc).
#define IDD_ALL_CLASSES 300
#define IDD_SMALL 301
#define IDD_WITH_TOOLBAR 302
// ---- the button, check-box and group-box templates ----
#define IDD_BUTTONS 320
#define IDD_YES_NO_CANCEL 321
// ---- end of the button templates ----
// ---- statics, panels and containers ----
#define IDD_STATICS 310
// ---- end of statics, panels and containers ----
// ---- combo boxes and tab controls ----
#define IDD_COMBO_TABS 330
// ---- end of combo boxes and tab controls ----
