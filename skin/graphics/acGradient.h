#pragma once
// Skin gradients: the points of one gradient as a skin section state keeps them.
#include <cstdint>
#include <string_view>
#include <vector>

#pragma pack(push, 1)
struct TsGradPoint {
  std::uint16_t Index = 0;   // the point's position in the array
  std::int32_t Mode = 0;     // direction and drawing bits
  std::uint32_t Color = 0;   // red in the low byte; the top byte is the alpha of GDI+ fills
  std::uint8_t Percent = 0;  // position along the gradient, 0 to 100
};
#pragma pack(pop)

using TsGradArray = std::vector<TsGradPoint>;

// The gradient a skin writes as one line of text.
// Filled later with the gradient painters: until then every text gives an empty gradient,
// which the painters treat as "no gradient".
TsGradArray ParseGradientText(std::string_view Text);
