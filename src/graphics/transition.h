// Screen transitions: each call moves one step's pixels of the top 640 x 480
// from the finished page into the screen image.
#pragma once

#include <cstdint>

#include "graphics/image.h"

// One step of a screen transition from the top 640 x 480 of src into dst:
// copies this step's pixels, invalidates them and updates the window. Step 0,
// a type outside 0-9 or images smaller than 640 x 480 do nothing. Always 1.
int Transition(Image& dst, const Image& src, int32_t type, int32_t step);
// The highest step of each type that still changes something.
int32_t TransitionLastStep(int32_t type);
