#include "skin/controls/acAlphaImageList.h"

void ForEachImageList(void (*Proc)(TComponent* List, int Value), int Value) {
  (void)Proc;
  (void)Value;
}

void SetImageListPPI(TComponent* List, int PPI) {
  (void)List;
  (void)PPI;
}
