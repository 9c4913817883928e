#pragma once
// Colour adjustments of skins and skinned controls: brightness, saturation, hue and
// colour tone of single values, and a visitor that applies them to a work bitmap.
// Every function works on the three low bytes and keeps the top byte (a pixel's alpha
// or a TColor's flag byte).
#include <cstdint>

#include "platform/ui/Graphics.h"

// Amount in 256ths of the channel: 256 doubles every channel (up to 255), -256 makes black.
std::uint32_t ChangeColorBrightness(std::uint32_t color, int amount);
// Color itself for Amount 0, else AdjustSaturation(Amount, Color).
std::uint32_t ChangeColorSaturation(std::uint32_t color, int amount);
// Channels moved away from (positive) or towards (negative) the luma of bytes 2, 1, 0.
std::uint32_t AdjustSaturation(int amount, std::uint32_t color);
// A TColor turned round the colour wheel: converted to pixel order around RotateHue.
TColor ShiftColorHue(int degrees, TColor color);
// A pixel-order colour (red in byte 2) turned by Degrees; any shift gives a colour.
std::uint32_t RotateHue(int degrees, std::uint32_t color);
// The tone colour darkened to Color's brightest channel; the tone's byte order is the
// reverse of the colour's (a pixel is toned with a TColor and a TColor with a pixel).
std::uint32_t ApplyColorTone(std::uint32_t color, std::uint32_t tone);

// Rewrites one pixel in place with a value.
using TPixelProc = void (*)(std::uint32_t* pixel, std::int32_t value);

// Proc(pixel, Value) for every pixel, top to bottom, left to right; with a Key other than
// clNone only for pixels unequal to the key in pixel order (0xFF00FF spares 0x00FF00FF).
void ForEachPixel(TBitmap* bitmap, TPixelProc proc, std::int32_t value, TColor key);

void PixelBrightness(std::uint32_t* pixel, std::int32_t value);
void PixelSaturation(std::uint32_t* pixel, std::int32_t value);
void PixelHueShift(std::uint32_t* pixel, std::int32_t value);
void PixelColorTone(std::uint32_t* pixel, std::int32_t value);
void PixelOpaque(std::uint32_t* pixel, std::int32_t value);
