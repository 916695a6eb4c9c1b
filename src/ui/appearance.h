#pragma once
// The program's look: the platform's own style or Fusion, in light or dark colours.

#include "ui/customization.h"

namespace zelvant::ui {

// Whether the desktop asks for dark colours, as far as Qt can tell.
bool DesktopPrefersDark();

// Applies the look to the whole application. The first call only remembers the platform's own
// style and colours when the look asks for nothing else, so a default start changes nothing.
void ApplyAppearance(const Appearance& look);

}  // namespace zelvant::ui
