#include "ui/win/controllers.h"

#include <string>

#include "engine/mixer.h"
#include "engine/texts.h"
#include "ui/win/data_file.h"
#include "ui/win/lamap.h"
#include "ui/win/panel_buttons.h"
#include "ui/win/window_state.h"

namespace mixorama {

namespace {

constexpr char kClassName[] = "MixoramaControllers";
// While a modal box or dialog is up, a drain waits this long before it looks again.
constexpr UINT kRetryMs = 50;

// The actions' surface: the map and the panel, as the mouse and the buttons reach them.
class WinSurface : public ControllerSurface {
 public:
  MapPoint Cursor() override {
    if (g_win.laMap == nullptr) return MapPoint{kMapSize / 2, kMapSize / 2};
    const POINT p = g_win.laMap->CursorOnMap();
    return MapPoint{p.x, p.y};
  }
  void MoveTo(int32_t x, int32_t y) override {
    if (g_win.laMap != nullptr && g_win.laMap->Window() != nullptr) {
      g_win.laMap->ControllerMove(x, y);
    } else {
      MapMouseMove(g_mixer, x, y);  // no map to draw on
    }
  }
  void Fill(const SquareFill& fill) override {
    if (g_win.laMap != nullptr && g_win.laMap->Window() != nullptr) g_win.laMap->DrawFill(fill);
  }
  void PressPlay() override { PlayButton(); }
};

}  // namespace

MidiMapping ReadProgramMidiMap() {
  const std::string path = BesideProgram(kMidiMapFileName);
  if (path.empty() || !FileExists(path.c_str())) return DefaultMidiMapping();
  if (OpenDataFile(path.c_str(), 0) == 0) return DefaultMidiMapping();
  // One byte past the limit is enough for the parser to tell an oversized file.
  const uint32_t size = DataFileSize();
  const uint32_t wanted =
      size > kMidiMapMaxBytes ? static_cast<uint32_t>(kMidiMapMaxBytes + 1) : size;
  std::string bytes(wanted, '\0');
  const int read = wanted == 0 ? 1 : ReadExact(&bytes[0], wanted);
  CloseDataFile();
  if (read == 0) {
    ShowFileError(path.c_str());
    return DefaultMidiMapping();
  }
  MidiMapping mapping;
  std::string message;
  if (!ParseMidiMap(bytes.data(), bytes.size(), mapping, message)) {
    InfoBox(g_mixer, message.c_str());
    return DefaultMidiMapping();
  }
  return mapping;
}

TControllers::TControllers(HINSTANCE instance) : input_(ReadProgramMidiMap()) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = &TControllers::WindowProc;
  wc.hInstance = instance;
  wc.lpszClassName = kClassName;
  RegisterClassA(&wc);  // fails harmlessly when a second object registers it again
  window_ =
      CreateWindowExA(0, kClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, this);
  if (window_ != nullptr) devices_.OpenAll(window_);
}

TControllers::~TControllers() {
  devices_.CloseAll();
  if (window_ != nullptr) DestroyWindow(window_);
}

LRESULT CALLBACK TControllers::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<TControllers*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcA(window, message, wParam, lParam);
  switch (message) {
    case MM_MIM_DATA:
      self->OnData(static_cast<uint32_t>(lParam));
      return 0;
    case kDrainMessage:
      self->drainPosted_ = false;
      self->OnDrain();
      return 0;
    case WM_TIMER:
      KillTimer(window, kRetryTimer);
      self->OnDrain();
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

void TControllers::OnData(uint32_t word) {
  uint8_t bytes[3];
  input_.Receive(bytes, ShortMessageBytes(word, bytes));
  if (input_.pending() && !drainPosted_) {
    drainPosted_ = PostMessageA(window_, kDrainMessage, 0, 0) != 0;
  }
}

void TControllers::OnDrain() {
  HWND panel = PanelWindow();
  if (panel == nullptr) return;  // not yet set up, or torn down: nothing to play on
  // A message box or a file dialog disables the frame and runs its own message loop; the
  // mouse cannot reach the map then, and the controllers wait likewise.
  if (!IsWindowEnabled(GetAncestor(panel, GA_ROOT))) {
    SetTimer(window_, kRetryTimer, kRetryMs, nullptr);
    return;
  }
  WinSurface surface;
  input_.Drain(g_mixer, surface);
}

}  // namespace mixorama
