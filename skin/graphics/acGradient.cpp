#include "skin/graphics/acGradient.h"

// Filled later with the gradient painters (see the header).
TsGradArray ParseGradientText(std::string_view Text) {
  (void)Text;
  return {};
}
