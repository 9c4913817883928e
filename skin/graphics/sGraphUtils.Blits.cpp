#include "skin/graphics/sGraphUtils.Blits.h"

void CollectMaskCornerHoles(std::vector<RECT>&, int, const TsMaskData&, int, bool, int) {}
