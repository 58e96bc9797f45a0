// The user-interface seam of the Windows program: the engine's information box, slot labels,
// slot squares and following the cursor.
#pragma once

#include <windows.h>

#include "engine/platform.h"

namespace mixorama {

// The seam the engine calls: message boxes owned by the panel, labels of the panel, squares
// of the map.
class WinUi : public UiSeam {
 public:
  void InfoBox(const char* text) override;
  void SetSlotLabel(int slot, const char* text) override;
  void DrawSlotSquare(int slot) override;
  void FollowCursor(int slot) override;
};

}  // namespace mixorama
