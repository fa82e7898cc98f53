// The skin engine in one include: the skinned dialog base of every GUI
// window, its controls, and the helpers the windows use beside it (record
// parsing, tinting, colour conversion).
#pragma once

#include "skin/SkinColor.h"
#include "skin/SkinDialog.h"
#include "skin/SkinRecord.h"
#include "skin/SkinTint.h"
