#pragma once
// Ids of the handler tests' dialog templates (Handlers.Test.rc).
#define IDD_ALL_CLASSES 300
#define IDD_SMALL 301
#define IDD_WITH_TOOLBAR 302
// ---- the button, check-box and group-box templates ----
#define IDD_BUTTONS 310
#define IDD_YES_NO_CANCEL 311
// ---- end of the button templates ----
