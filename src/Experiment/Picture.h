#pragma once
// The fuzzy-set picture of the front-ends (the window, the page).

#include "Display/DisplayServices.h"
#include "FuzzySet/FuzzySet.h"

// Draws Set as TFuzzySet::Draw does wherever its integer step per element is at least one
// pixel. With more elements than the picture has pixels that step would be 0 and the
// whole curve would stand at x = 0; there the points are spread over the width instead,
// element i at the centre of its share (2i + 1)(W + 1) / 2n.
void DrawSet(const TFuzzySet& Set, TImageSurface& Image, TColor PenColor, bool Clear);
