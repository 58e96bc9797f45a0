// A UiSeam for tests: records every call the engine makes into the user interface, in order,
// so a test can check the exact message texts, label texts, redrawn squares and menu steps.
// An optional hook runs inside InfoBox, while the "message box" is open, so a test can look
// at the engine's state at that moment (the box is modal in the program).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/platform.h"

namespace mixorama {

class RecordingUi : public UiSeam {
 public:
  struct Label {
    int slot;
    std::string text;
  };

  // Every call in order, as "info:TEXT", "label:SLOT:TEXT", "square:SLOT" or "menu".
  std::vector<std::string> calls;
  std::vector<std::string> messages;
  std::vector<Label> labels;
  std::vector<int> squares;
  int menuSteps = 0;
  // Called with the message text while the information box "shows".
  std::function<void(const std::string&)> onInfoBox;

  void InfoBox(const char* text) override {
    messages.emplace_back(text);
    calls.push_back("info:" + std::string(text));
    if (onInfoBox) onInfoBox(text);
  }
  void SetSlotLabel(int slot, const char* text) override {
    labels.push_back({slot, text});
    calls.push_back("label:" + std::to_string(slot) + ":" + text);
  }
  void DrawSlotSquare(int slot) override {
    squares.push_back(slot);
    calls.push_back("square:" + std::to_string(slot));
  }
  void DeferredMenuStep() override {
    ++menuSteps;
    calls.emplace_back("menu");
  }

  void Clear() {
    calls.clear();
    messages.clear();
    labels.clear();
    squares.clear();
    menuSteps = 0;
  }
};

}  // namespace mixorama
