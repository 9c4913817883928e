#pragma once
// The mouse button and the keys held with a mouse action, as the framework's mouse events
// pass them.
#include <cstdint>

enum TMouseButton { mbLeft, mbRight, mbMiddle };

using TShiftState = std::uint32_t;
constexpr TShiftState ssShift = 0x1, ssAlt = 0x2, ssCtrl = 0x4, ssLeft = 0x8, ssRight = 0x10, ssMiddle = 0x20;
