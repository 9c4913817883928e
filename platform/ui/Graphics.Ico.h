#pragma once
// Icons from ICO file bytes: the directory and the first image are checked against the data
// before the system makes the icon of it.
#include <windows.h>

#include <cstdint>
#include <span>

// The first image of an ICO file as an icon of its own size (the caller destroys it), its
// size in Width and Height. Raises EInvalidGraphic for bytes that are no sound ICO file: a
// count of 0 or more entries than the data holds, an image outside the data, or an image
// too small for its own width x height pixels.
HICON IconFromIcoData(std::span<const std::uint8_t> Data, int& Width, int& Height);
