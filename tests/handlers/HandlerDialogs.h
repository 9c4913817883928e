#pragma once
// Ids of the handler tests' dialog templates (Handlers.Test.rc).
#define IDD_ALL_CLASSES 300
#define IDD_SMALL 301
#define IDD_WITH_TOOLBAR 302
// ---- statics, panels and containers ----
#define IDD_STATICS 310
// ---- end of statics, panels and containers ----
