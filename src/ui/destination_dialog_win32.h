#pragma once

#include "package/package_layout.h"

namespace ui {

// 1 when a folder was accepted (its text then stands in destinationFolder),
// 0 when the user cancelled (destinationFolder unchanged).
int ChooseDestination(char (&destinationFolder)[package::kTextSize]);

}  // namespace ui
