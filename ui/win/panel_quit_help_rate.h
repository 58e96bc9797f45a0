// The frame menu's commands but the setup files: Quit and its question, the two Help boxes,
// the Frequency items. GUI thread.
#pragma once

#include <cstdint>

#include "ui/rate_change.h"

namespace mixorama {

// "&Quit Mixorama" (902): ConfirmQuit, then the panel window is destroyed.
void QuitCommand();

// "Quit ?" with OK and Cancel, owned by the panel. True exactly when the answer is OK.
bool ConfirmQuit();

// "&Using Mixorama" (903): the two Help boxes.
void HelpCommand();

// Frequency menu (904..906): rate is 11025, 22050 or 44100. Another rate than the one in
// force is asked about first and applied on Yes.
void ChangeOutputRate(int32_t rate);

// The panel calls a rate change makes, on the real panel and frame menu.
class PanelRateCalls : public RateChangeUi {
 public:
  void SetPlayCaption(const char* text) override;
  void UpdateRateChecks() override;
};

}  // namespace mixorama
