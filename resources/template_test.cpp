// Checks the compiled resources of the program byte by byte, as the window system will read
// them: the classic dialog template FEN_PRINC with its 43 controls, the menu MENU_1, and the
// pictures and version block. Runs as a Windows program (under Wine on the build machine).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "resources/resource_ids.h"

namespace {

// The bytes of one resource of this module; empty when it is missing.
std::vector<uint8_t> ResourceBytes(const char* name, const char* type) {
  HMODULE self = GetModuleHandleA(nullptr);
  HRSRC info = FindResourceA(self, name, type);
  if (info == nullptr) return {};
  HGLOBAL handle = LoadResource(self, info);
  const DWORD size = SizeofResource(self, info);
  const auto* data = static_cast<const uint8_t*>(LockResource(handle));
  if (data == nullptr) return {};
  return std::vector<uint8_t>(data, data + size);
}

// Reads little-endian fields from a resource, failing the test instead of reading past it.
class Reader {
 public:
  explicit Reader(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}

  size_t offset() const { return offset_; }
  bool ok() const { return ok_; }

  uint16_t Word() {
    if (!Need(2)) return 0;
    const uint16_t v = static_cast<uint16_t>(bytes_[offset_] | (bytes_[offset_ + 1] << 8));
    offset_ += 2;
    return v;
  }
  uint32_t Dword() {
    const uint32_t low = Word();
    const uint32_t high = Word();
    return low | (high << 16);
  }
  int16_t Short() { return static_cast<int16_t>(Word()); }

  // A zero-terminated UTF-16 text made of ANSI characters only.
  std::string Text() {
    std::string s;
    for (;;) {
      const uint16_t c = Word();
      if (!ok_ || c == 0) return s;
      if (c > 0xFF) {
        ADD_FAILURE() << "non-ANSI character at offset " << offset_;
        ok_ = false;
        return s;
      }
      s.push_back(static_cast<char>(c));
    }
  }

  // A name-or-ordinal field: either 0xFFFF followed by a number, or a text.
  struct NameOrOrdinal {
    bool isOrdinal = false;
    uint16_t ordinal = 0;
    std::string name;
  };
  NameOrOrdinal NameOrOrd() {
    NameOrOrdinal n;
    const size_t start = offset_;
    if (Word() == 0xFFFF) {
      n.isOrdinal = true;
      n.ordinal = Word();
      return n;
    }
    offset_ = start;
    n.name = Text();
    return n;
  }

  void AlignDword() { offset_ = (offset_ + 3) & ~size_t{3}; }

 private:
  bool Need(size_t n) {
    if (!ok_ || offset_ + n > bytes_.size()) {
      if (ok_) ADD_FAILURE() << "resource ends at " << bytes_.size() << ", read at " << offset_;
      ok_ = false;
      return false;
    }
    return true;
  }

  const std::vector<uint8_t>& bytes_;
  size_t offset_ = 0;
  bool ok_ = true;
};

// ---- The control panel template ----------------------------------------------------------

struct ExpectedControl {
  int id;  // -1: no identifier (0xFFFF)
  const char* className;
  const char* text;
  int x, y, width, height;
  uint32_t style;
};

// The panel's controls in template order (also Z-order and tab order).
const ExpectedControl kControls[] = {
    {101, "Button", "Load Wave", 16, 15, 62, 12, 0x50000000},
    {102, "Button", "Load Wave", 16, 47, 62, 12, 0x50000000},
    {103, "Button", "Load Wave", 16, 79, 62, 12, 0x50000000},
    {104, "Button", "Load Wave", 16, 111, 62, 12, 0x50000000},
    {105, "Button", "Load Wave", 16, 142, 62, 12, 0x50000000},
    {106, "Button", "Load Wave", 16, 174, 62, 12, 0x50000000},
    {107, "Button", "Load Wave", 16, 206, 62, 12, 0x50000000},
    {108, "Button", "Load Wave", 16, 238, 62, 12, 0x50000000},
    {109, "Button", "No Wave", 16, 29, 62, 12, 0x50010000},
    {113, "Button", "No Wave", 16, 156, 62, 12, 0x50010000},
    {110, "Button", "No Wave", 16, 61, 62, 12, 0x50010000},
    {114, "Button", "No Wave", 16, 188, 62, 12, 0x50010000},
    {111, "Button", "No Wave", 16, 93, 62, 12, 0x50010000},
    {115, "Button", "No Wave", 16, 220, 62, 12, 0x50010000},
    {112, "Button", "No Wave", 16, 125, 62, 12, 0x50010000},
    {116, "Button", "No Wave", 16, 252, 62, 12, 0x50010000},
    {-1, "Static", "1 :", 3, 24, 12, 9, 0x50020001},
    {-1, "Static", "2 :", 3, 56, 12, 9, 0x50020001},
    {-1, "Static", "3 :", 3, 88, 12, 9, 0x50020001},
    {-1, "Static", "4 :", 3, 120, 12, 9, 0x50020001},
    {-1, "Static", "5 :", 3, 151, 12, 9, 0x50020001},
    {-1, "Static", "6 :", 3, 183, 12, 9, 0x50020001},
    {-1, "Static", "7 :", 3, 215, 12, 9, 0x50020001},
    {-1, "Static", "8 :", 3, 247, 12, 9, 0x50020001},
    {189, "Button", "Press here to play", 0, 0, 365, 11, 0x50010000},
    {117, "Static", "1", 201, 22, 6, 8, 0x50020001},
    {124, "Static", "8", 301, 22, 6, 8, 0x50020001},
    {123, "Static", "7", 357, 82, 6, 8, 0x50020000},
    {122, "Static", "6", 357, 190, 6, 8, 0x50020000},
    {121, "Static", "5", 301, 252, 6, 8, 0x50020001},
    {120, "Static", "4", 201, 252, 6, 8, 0x50020001},
    {119, "Static", "3", 145, 190, 6, 8, 0x50020002},
    {118, "Static", "2", 145, 82, 6, 8, 0x50020002},
    {200, "Button", "", 154, 33, 200, 216, 0x5001000B},
    {125, "Static", "", 80, 23, 57, 10, 0x50800001},
    {126, "Static", "", 80, 55, 57, 10, 0x50800001},
    {127, "Static", "", 80, 87, 57, 10, 0x50800001},
    {128, "Static", "", 80, 119, 57, 10, 0x50800001},
    {129, "Static", "", 80, 151, 57, 10, 0x50800001},
    {130, "Static", "", 80, 183, 57, 10, 0x50800001},
    {131, "Static", "", 80, 215, 57, 10, 0x50800001},
    {132, "Static", "", 80, 246, 57, 10, 0x50800001},
    {133, "Button", "Sync", 244, 14, 20, 12, 0x50010000},
};
constexpr int kControlCount = sizeof kControls / sizeof kControls[0];

struct ParsedControl {
  uint32_t style = 0;
  uint32_t exStyle = 0;
  int x = 0, y = 0, width = 0, height = 0;
  uint16_t id = 0;
  Reader::NameOrOrdinal cls;
  Reader::NameOrOrdinal text;
  uint16_t extraBytes = 0;
};

struct ParsedTemplate {
  bool parsed = false;
  uint32_t style = 0;
  uint32_t exStyle = 0;
  uint16_t count = 0;
  int x = 0, y = 0, width = 0, height = 0;
  Reader::NameOrOrdinal menu;
  Reader::NameOrOrdinal cls;
  std::string caption;
  uint16_t pointSize = 0;
  std::string face;
  std::vector<ParsedControl> controls;
  size_t endOffset = 0;
  size_t size = 0;
};

ParsedTemplate ParsePanelTemplate() {
  ParsedTemplate t;
  const std::vector<uint8_t> bytes = ResourceBytes(kPanelTemplateName, MAKEINTRESOURCEA(5));
  t.size = bytes.size();
  if (bytes.empty()) return t;
  Reader r(bytes);
  t.style = r.Dword();
  t.exStyle = r.Dword();
  t.count = r.Word();
  t.x = r.Short();
  t.y = r.Short();
  t.width = r.Short();
  t.height = r.Short();
  t.menu = r.NameOrOrd();
  t.cls = r.NameOrOrd();
  t.caption = r.Text();
  if (t.style & DS_SETFONT) {
    t.pointSize = r.Word();
    t.face = r.Text();
  }
  for (int i = 0; i < t.count && r.ok(); ++i) {
    r.AlignDword();
    ParsedControl c;
    c.style = r.Dword();
    c.exStyle = r.Dword();
    c.x = r.Short();
    c.y = r.Short();
    c.width = r.Short();
    c.height = r.Short();
    c.id = r.Word();
    c.cls = r.NameOrOrd();
    c.text = r.NameOrOrd();
    c.extraBytes = r.Word();
    // Skip creation data, if any, so a following item is still found.
    for (int b = 0; b < c.extraBytes && r.ok(); b += 2) r.Word();
    t.controls.push_back(c);
  }
  t.endOffset = r.offset();
  t.parsed = r.ok();
  return t;
}

const ParsedTemplate& PanelTemplate() {
  static const ParsedTemplate t = ParsePanelTemplate();
  return t;
}

// The predefined classes as the compiler may store them, by atom.
std::string ClassName(const Reader::NameOrOrdinal& cls) {
  if (!cls.isOrdinal) return cls.name;
  switch (cls.ordinal) {
    case 0x0080:
      return "Button";
    case 0x0082:
      return "Static";
    default:
      return "#" + std::to_string(cls.ordinal);
  }
}

TEST(PanelTemplate, IsTheClassicFormWithItsHeader) {
  const ParsedTemplate& t = PanelTemplate();
  ASSERT_GT(t.size, 0u) << "no dialog resource FEN_PRINC";
  ASSERT_TRUE(t.parsed);
  // The extended form starts with version 1 and signature 0xFFFF.
  EXPECT_NE(t.style & 0xFFFF0000u, 0xFFFF0000u);
  EXPECT_EQ(t.style, 0x50800040u);  // WS_CHILD, WS_VISIBLE, WS_BORDER, DS_SETFONT
  EXPECT_EQ(t.exStyle, 0u);
  EXPECT_EQ(t.count, kControlCount);
  EXPECT_EQ(t.x, 0);
  EXPECT_EQ(t.y, 0);
  EXPECT_EQ(t.width, 365);
  EXPECT_EQ(t.height, 276);
  EXPECT_FALSE(t.menu.isOrdinal);
  EXPECT_EQ(t.menu.name, "");
  EXPECT_FALSE(t.cls.isOrdinal);
  EXPECT_EQ(t.cls.name, "");
  EXPECT_EQ(t.caption, "");
  EXPECT_EQ(t.pointSize, 8);
  EXPECT_EQ(t.face, "MS Sans Serif");
  // Nothing follows the last control but alignment padding.
  EXPECT_LE(t.size - t.endOffset, 3u);
}

class PanelControl : public ::testing::TestWithParam<int> {};

TEST_P(PanelControl, MatchesTheTable) {
  const ParsedTemplate& t = PanelTemplate();
  const int index = GetParam();
  ASSERT_TRUE(t.parsed);
  ASSERT_LT(index, static_cast<int>(t.controls.size()));
  const ExpectedControl& want = kControls[index];
  const ParsedControl& got = t.controls[index];
  SCOPED_TRACE("control #" + std::to_string(index + 1));
  EXPECT_EQ(got.id, static_cast<uint16_t>(want.id));
  EXPECT_EQ(ClassName(got.cls), want.className);
  EXPECT_FALSE(got.text.isOrdinal);
  EXPECT_EQ(got.text.name, want.text);
  EXPECT_EQ(got.x, want.x);
  EXPECT_EQ(got.y, want.y);
  EXPECT_EQ(got.width, want.width);
  EXPECT_EQ(got.height, want.height);
  EXPECT_EQ(got.style, want.style) << std::hex << "got 0x" << got.style;
  EXPECT_EQ(got.exStyle, 0u);
  EXPECT_EQ(got.extraBytes, 0u);
}

INSTANTIATE_TEST_SUITE_P(AllFortyThree, PanelControl, ::testing::Range(0, kControlCount));

TEST(PanelTemplate, SlotIdentifiersFollowTheSlotRule) {
  // The command handler relies on these ranges: a slot's controls differ by fixed offsets.
  for (int n = 1; n <= 8; ++n) {
    EXPECT_EQ(IDC_LOAD_WAVE_FIRST + n - 1, 100 + n);
    EXPECT_EQ(IDC_NO_WAVE_FIRST + n - 1, 108 + n);
    EXPECT_EQ(IDC_SLOT_LABEL_FIRST + n - 1, 124 + n);
  }
  // Tab stops: "No Wave" in slot order 1, 5, 2, 6, 3, 7, 4, 8, then play, map, "Sync".
  const ParsedTemplate& t = PanelTemplate();
  ASSERT_TRUE(t.parsed);
  std::vector<int> tabStops;
  for (const ParsedControl& c : t.controls) {
    if (c.style & WS_TABSTOP) tabStops.push_back(c.id);
  }
  const std::vector<int> want = {109, 113, 110, 114, 111, 115, 112, 116, 189, 200, 133};
  EXPECT_EQ(tabStops, want);
}

// ---- The menu ----------------------------------------------------------------------------

struct MenuItem {
  uint16_t flags;
  uint16_t id;  // 0 for pop-ups
  std::string text;
  int depth;
};

void ParseMenuLevel(Reader& r, int depth, std::vector<MenuItem>& out) {
  for (;;) {
    MenuItem item{};
    item.flags = r.Word();
    item.depth = depth;
    if (!(item.flags & MF_POPUP)) item.id = r.Word();
    item.text = r.Text();
    if (!r.ok()) return;
    out.push_back(item);
    if (item.flags & MF_POPUP) ParseMenuLevel(r, depth + 1, out);
    if (item.flags & MF_END) return;
  }
}

TEST(FrameMenu, HasThreePopupsWithTheirCommands) {
  const std::vector<uint8_t> bytes = ResourceBytes(kFrameMenuName, MAKEINTRESOURCEA(4));
  ASSERT_FALSE(bytes.empty()) << "no menu resource MENU_1";
  Reader r(bytes);
  EXPECT_EQ(r.Word(), 0);  // version of the plain menu template
  EXPECT_EQ(r.Word(), 0);  // header size
  std::vector<MenuItem> items;
  ParseMenuLevel(r, 0, items);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.offset(), bytes.size());

  struct Want {
    int depth;
    const char* text;
    uint16_t id;
  };
  const Want want[] = {
      {0, "&System", 0},           {1, "&Load a file", 900}, {1, "&Save a file", 901},
      {1, "&Quit Mixorama", 902},  {0, "&Frequency", 0},     {1, "&11025", 904},
      {1, "&22050", 905},          {1, "&44100", 906},       {0, "&Help", 0},
      {1, "&Using Mixorama", 903},
  };
  ASSERT_EQ(items.size(), sizeof want / sizeof want[0]);
  for (size_t i = 0; i < items.size(); ++i) {
    SCOPED_TRACE(want[i].text);
    EXPECT_EQ(items[i].depth, want[i].depth);
    EXPECT_EQ(items[i].text, want[i].text);
    EXPECT_EQ(items[i].id, want[i].id);
    EXPECT_EQ(items[i].flags & MF_POPUP, want[i].depth == 0 ? MF_POPUP : 0);
    // Nothing checked, greyed, disabled or separated in the resource.
    EXPECT_EQ(items[i].flags & (MF_CHECKED | MF_GRAYED | MF_DISABLED | MF_SEPARATOR), 0);
  }
}

BOOL CALLBACK CountName(HMODULE, LPCSTR, LPSTR, LONG_PTR count) {
  ++*reinterpret_cast<int*>(count);
  return TRUE;
}

TEST(FrameMenu, HasNoAcceleratorTable) {
  int count = 0;
  EnumResourceNamesA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(9), CountName,
                     reinterpret_cast<LONG_PTR>(&count));
  EXPECT_EQ(count, 0);
}

// ---- Pictures and version ------------------------------------------------------------------

uint32_t Dword(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint32_t>(b[at]) | (static_cast<uint32_t>(b[at + 1]) << 8) |
         (static_cast<uint32_t>(b[at + 2]) << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}
uint16_t Word(const std::vector<uint8_t>& b, size_t at) {
  return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}

#ifdef MIXORAMA_HAVE_MAP_BITMAP
TEST(MapBitmap, Is350By350With8BitsPerPixel) {
  const std::vector<uint8_t> b = ResourceBytes(MAKEINTRESOURCEA(IDB_MAP), MAKEINTRESOURCEA(2));
  ASSERT_GE(b.size(), 40u) << "no bitmap 1000";
  EXPECT_EQ(Dword(b, 0), 40u);                                  // BITMAPINFOHEADER
  EXPECT_EQ(static_cast<int32_t>(Dword(b, 4)), 350);            // width
  EXPECT_EQ(std::abs(static_cast<int32_t>(Dword(b, 8))), 350);  // height, either row order
  EXPECT_EQ(Word(b, 12), 1);                                    // planes
  EXPECT_EQ(Word(b, 14), 8);                                    // bits per pixel
}
#endif

#ifdef MIXORAMA_HAVE_ICONS
class IconGroup : public ::testing::TestWithParam<int> {};

TEST_P(IconGroup, Holds32By32SixteenColourImage) {
  const std::vector<uint8_t> g = ResourceBytes(MAKEINTRESOURCEA(GetParam()), MAKEINTRESOURCEA(14));
  ASSERT_GE(g.size(), 6u + 14u) << "no icon group " << GetParam();
  EXPECT_EQ(Word(g, 0), 0);  // reserved
  EXPECT_EQ(Word(g, 2), 1);  // icon, not cursor
  const int count = Word(g, 4);
  ASSERT_GE(count, 1);
  ASSERT_GE(g.size(), 6u + 14u * count);
  bool found = false;
  for (int i = 0; i < count; ++i) {
    const size_t e = 6 + 14 * i;
    if (g[e] != 32 || g[e + 1] != 32) continue;
    found = true;
    EXPECT_EQ(Word(g, e + 6), 4);  // bits per pixel
    const uint16_t imageId = Word(g, e + 12);
    const std::vector<uint8_t> image =
        ResourceBytes(MAKEINTRESOURCEA(imageId), MAKEINTRESOURCEA(3));
    ASSERT_GE(image.size(), 40u);
    EXPECT_EQ(Dword(image, 0), 40u);
    EXPECT_EQ(static_cast<int32_t>(Dword(image, 4)), 32);
    EXPECT_EQ(static_cast<int32_t>(Dword(image, 8)), 64);  // colour rows plus mask rows
    EXPECT_EQ(Word(image, 14), 4);
    EXPECT_EQ(Dword(g, e + 8), image.size());
  }
  EXPECT_TRUE(found) << "no 32 x 32 image in group " << GetParam();
}

INSTANTIATE_TEST_SUITE_P(BothGroups, IconGroup, ::testing::Values(IDI_MAIN, IDI_SECOND));
#endif

TEST(VersionBlock, NamesTheProductAndVersionOne) {
  const std::vector<uint8_t> v = ResourceBytes(MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(16));
  ASSERT_GE(v.size(), 92u) << "no version block";
  // VS_FIXEDFILEINFO follows the key "VS_VERSION_INFO" at a fixed place.
  size_t at = 0;
  for (; at + 4 <= v.size(); at += 4) {
    if (Dword(v, at) == 0xFEEF04BDu) break;
  }
  ASSERT_LT(at + 16, v.size()) << "no fixed file information";
  EXPECT_EQ(Dword(v, at + 8), 0x00010000u);   // file version 1.0
  EXPECT_EQ(Dword(v, at + 16), 0x00010000u);  // product version 1.0
  auto has = [&v](const char* key, const char* value) {
    std::u16string want;
    for (const char* p = key; *p; ++p) want.push_back(static_cast<char16_t>(*p));
    want.push_back(0);
    std::u16string text;
    for (size_t i = 0; i + 1 < v.size(); i += 2) text.push_back(static_cast<char16_t>(Word(v, i)));
    const size_t k = text.find(want);
    if (k == std::u16string::npos) return false;
    // The value starts at the next 32-bit boundary after the key.
    size_t p = ((k + want.size()) * 2 + 3) / 4 * 2;
    std::string got;
    while (p < text.size() && text[p] != 0) got.push_back(static_cast<char>(text[p++]));
    return got == value;
  };
  EXPECT_TRUE(has("ProductName", "Mixorama"));
  EXPECT_TRUE(has("ProductVersion", "1.00"));
}

}  // namespace
