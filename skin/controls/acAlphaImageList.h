#pragma once
// The process-wide registry of skin image lists, as far as the skin manager reaches it so
// far. The image lists themselves come with their own work: until then none is registered.
#include "platform/ui/Controls.h"

// Calls Proc(list, Value) for every registered skin image list.
void ForEachImageList(void (*Proc)(TComponent* List, int Value), int Value);
// Sets the pixels per inch of a skin image list.
void SetImageListPPI(TComponent* List, int PPI);
