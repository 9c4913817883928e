#include "skin/controls/sPanel.h"
