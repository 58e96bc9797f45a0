// Controllers in the Windows layer: WINMM's short-message words as bytes, and messages posted
// to the controllers' window as a driver posts them, reaching the mix once no box is up.
#include "ui/win/controllers.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "engine/mixer.h"
#include "engine/win/midi_in.h"
#include "ui/win/window_state.h"

namespace mixorama::test {
namespace {

TEST(Controllers, ShortMessageWordsAsBytes) {
  const struct {
    uint32_t word;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {0x00403C90, {0x90, 0x3C, 0x40}},
      {0xFF7F14B5, {0xB5, 0x14, 0x7F}},
      {0x00017FEF, {0xEF, 0x7F, 0x01}},
      {0x000005C3, {0xC3, 0x05}},
      {0x000040D0, {0xD0, 0x40}},
      {0x003412F2, {0xF2, 0x12, 0x34}},
      {0x000012F3, {0xF3, 0x12}},
      {0x000000F8, {0xF8}},
      {0x00403C7F, {}},
  };
  for (const auto& c : cases) {
    uint8_t bytes[3] = {};
    const size_t n = ShortMessageBytes(c.word, bytes);
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + n), c.bytes) << std::hex << c.word;
  }
}

void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

// A flood on two faders, posted while a box (here: the disabled panel) is up, waits, then
// plays as its last values: slot 1 at 127 (level 350), slot 2 at 64 (level 176).
TEST(Controllers, PostedMessagesReachTheMixOnceNoBoxIsUp) {
  HWND panel = CreateWindowA("STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
  g_win.panelWindow = panel;
  {
    TControllers controllers(GetModuleHandleA(nullptr));
    EnableWindow(panel, FALSE);
    for (uint32_t cc : {20u, 21u}) {
      for (uint32_t i = 0; i < 1000; ++i) {
        const uint32_t value = cc == 20 ? i * 127 / 999 : 64 + (999 - i) % 64;
        ASSERT_TRUE(
            PostMessageA(controllers.Window(), MM_MIM_DATA, 0, 0xB0 | cc << 8 | value << 16));
      }
    }
    Pump();
    EXPECT_EQ(std::vector<int32_t>({g_mixer.targetVolume[0], g_mixer.locked[0]}),
              std::vector<int32_t>({1, 0}));
    EnableWindow(panel, TRUE);
    for (int ms = 0; ms < 10000 && controllers.input().pending(); ++ms) Pump(), Sleep(1);
    EXPECT_EQ(std::vector<int32_t>({g_mixer.targetVolume[0], g_mixer.locked[0],
                                    g_mixer.targetVolume[1], g_mixer.locked[1]}),
              std::vector<int32_t>({350, 1, 176, 1}));
    EXPECT_EQ(controllers.input().queue().dropped(), 0u);
  }
  g_win.panelWindow = nullptr;
  DestroyWindow(panel);
  for (int s : {0, 1}) g_mixer.targetVolume[s] = 1, g_mixer.locked[s] = 0;
}

}  // namespace
}  // namespace mixorama::test
