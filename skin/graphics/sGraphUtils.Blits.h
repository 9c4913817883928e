#pragma once
// Bordered blits, regions and lines with which handlers and controls copy borders and cut
// corners out of window regions.
#include <windows.h>

#include <vector>

struct TsMaskData;

// Appends the key-colour runs of a frame mask's two top (Bottom false) or two bottom corners
// as one-row rectangles, placed for a window Width wide. Filled later with the bordered
// blits: so far it appends nothing.
void CollectMaskCornerHoles(std::vector<RECT>& Rects, int Width, const TsMaskData& Mask, int Top, bool Bottom,
                            int Margin);
