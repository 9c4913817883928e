// The system-colour redirection: entry resolution and jump bytes over byte buffers, and the
// three redirected functions called through their exported addresses while a skinned form
// of the default manager is active.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>

#include "ReaderFixtures.h"
#include "SkinStateFixtures.h"
#include "platform/ui/Forms.h"
#include "platform/ui/StdCtrls.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/manager/sSkinManager.SysColors.h"
#include "skin/manager/sSkinManager.h"
#include "support/MessagePump.h"

namespace {

// A sparse memory of byte runs at addresses; a read outside every run fails.
struct TFakeMemory {
  std::map<std::uintptr_t, std::vector<std::uint8_t>> Runs;
  void Put(std::uintptr_t at, std::vector<std::uint8_t> bytes) { Runs[at] = std::move(bytes); }
  template <class T>
  void PutValue(std::uintptr_t at, T value) {
    std::vector<std::uint8_t> bytes(sizeof(T));
    std::memcpy(bytes.data(), &value, sizeof(T));
    Put(at, bytes);
  }
  void PutJump(std::uintptr_t at, std::int32_t operand) {
    std::vector<std::uint8_t> bytes{0xFF, 0x25, 0, 0, 0, 0};
    std::memcpy(bytes.data() + 2, &operand, 4);
    Put(at, bytes);
  }
  TacCodeReader Reader() const {
    return [this](std::uintptr_t address, void* buffer, std::size_t count) {
      for (const auto& [start, bytes] : Runs)
        if (address >= start && address + count <= start + bytes.size()) {
          std::memcpy(buffer, bytes.data() + (address - start), count);
          return true;
        }
      return false;
    };
  }
};

}  // namespace

TEST(SysColorPatch, EntryResolutionFollowsPointerJumpsOfBothArchitectures) {
  TFakeMemory mem;
  // i686: FF 25 names the pointer's absolute address; a chain of two stubs.
  mem.PutJump(0x1000, 0x2000);
  mem.PutValue<std::uint32_t>(0x2000, 0x3000);
  mem.PutJump(0x3000, 0x2010);
  mem.PutValue<std::uint32_t>(0x2010, 0x4000);
  mem.Put(0x4000, {0x8B, 0xFF, 0x55, 0x8B, 0xEC, 0x90});
  // x86_64: the pointer lies at the next instruction plus the operand.
  mem.PutJump(0x10000, 0x100 - 6);   // slot 0x10100
  mem.PutValue<std::uint64_t>(0x10100, 0x20000);
  mem.PutJump(0x20000, -0x20);        // slot 0x20000 + 6 - 0x20
  mem.PutValue<std::uint64_t>(0x20000 + 6 - 0x20, 0x30000);
  mem.Put(0x30000, {0x48, 0x83, 0xEC, 0x28, 0x90, 0x90});
  // A jump whose pointer cannot be read, and two stubs that jump to each other.
  mem.PutJump(0x5000, 0x9999);
  mem.PutJump(0x6000, 0x6100);
  mem.PutValue<std::uint32_t>(0x6100, 0x6200);
  mem.PutJump(0x6200, 0x6300);
  mem.PutValue<std::uint32_t>(0x6300, 0x6000);
  struct Row {
    std::uintptr_t From;
    bool Is64;
    std::uintptr_t Entry;
  } rows[] = {
      {0x1000, false, 0x4000},  {0x3000, false, 0x4000}, {0x4000, false, 0x4000},
      {0x10000, true, 0x30000}, {0x20000, true, 0x30000}, {0x30000, true, 0x30000},
      {0x5000, false, 0},       {0x6000, false, 0},
      {0x7777, false, 0x7777},  // unreadable code: the address itself
  };
  for (const Row& r : rows)
    EXPECT_EQ(ResolveApiEntry(r.From, mem.Reader(), r.Is64), r.Entry) << std::hex << r.From;
}

TEST(SysColorPatch, JumpAndRelayBytes) {
  struct Row {
    std::uintptr_t From, To;
    std::array<std::uint8_t, 5> Bytes;
  } rows[] = {
      {0x1000, 0x2000, {0xE9, 0xFB, 0x0F, 0x00, 0x00}},
      {0x2000, 0x1000, {0xE9, 0xFB, 0xEF, 0xFF, 0xFF}},
      {0x1000, 0x1005, {0xE9, 0x00, 0x00, 0x00, 0x00}},
  };
  for (const Row& r : rows) {
    auto bytes = MakeJumpBytes(r.From, r.To);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(*bytes, r.Bytes);
  }
  if constexpr (sizeof(void*) == 8) {
    EXPECT_FALSE(MakeJumpBytes(0x10000, std::uintptr_t(0x10000) + 0x80000005ull));
    EXPECT_TRUE(MakeJumpBytes(0x10000, std::uintptr_t(0x10000) + 0x80000004ull));
  }
  const auto relay = MakeRelayBytes(0x1122334455667788ull);
  const std::array<std::uint8_t, acRelaySize> expected{0xFF, 0x25, 0, 0, 0, 0, 0x88, 0x77,
                                                       0x66, 0x55, 0x44, 0x33, 0x22, 0x11};
  EXPECT_EQ(relay, expected);
}

namespace {

std::array<std::uint8_t, 5> EntryBytes(int function) {
  const auto entry = ResolveApiEntry(
      reinterpret_cast<std::uintptr_t>(SysColorFunction(function)),
      [](std::uintptr_t a, void* b, std::size_t n) {
        std::memcpy(b, reinterpret_cast<const void*>(a), n);
        return true;
      },
      sizeof(void*) == 8);
  std::array<std::uint8_t, 5> bytes{};
  std::memcpy(bytes.data(), reinterpret_cast<const void*>(entry), bytes.size());
  return bytes;
}

// The three functions as another module calls them: through the exported addresses.
COLORREF ExportedGetSysColor(int index) {
  return reinterpret_cast<COLORREF(WINAPI*)(int)>(reinterpret_cast<void*>(SysColorFunction(0)))(index);
}
HBRUSH ExportedGetSysColorBrush(int index) {
  return reinterpret_cast<HBRUSH(WINAPI*)(int)>(reinterpret_cast<void*>(SysColorFunction(1)))(index);
}
HPEN ExportedCreatePen(int style, int width, COLORREF color) {
  return reinterpret_cast<HPEN(WINAPI*)(int, int, COLORREF)>(reinterpret_cast<void*>(SysColorFunction(2)))(
      style, width, color);
}

COLORREF PenColor(HPEN pen) {
  LOGPEN lp{};
  GetObjectW(pen, sizeof(lp), &lp);
  return lp.lopnColor;
}

COLORREF Rgb(TColor c) { return static_cast<COLORREF>(c) & 0xFFFFFF; }

// The default manager with the flat test skin, ChangeSysColors on, and a shown active form.
class SysColors : public testing::Test {
protected:
  void SetUp() override {
    Application().Initialize();
    for (int i = 0; i < 3; ++i) Before[i] = EntryBytes(i);
    BtnFace = GetSysColor(COLOR_BTNFACE);
    SystemWindow = GetSysColor(COLOR_WINDOW);
    M = CreateComponent<TsSkinManager>(nullptr);
    ASSERT_TRUE(M->IsDefault());
    M->Options.ChangeSysColors = true;
    Form = CreateComponent<TSkinForm>(nullptr);
    Form->Show();
    SetForegroundWindow(Form->Handle());
    SetActiveWindow(Form->Handle());
    PumpMessages();
    M->SetSkinDirectory(ReaderFixture(L"skins"));
    M->SetSkinName(L"Tarvel Test");
    ASSERT_TRUE(M->IsActive());
    ASSERT_EQ(Screen().ActiveForm(), Form);
  }
  void TearDown() override {
    TComponent::Free(Form);
    TComponent::Free(M);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(EntryBytes(i), Before[i]) << i;
  }
  TsSkinManager* M = nullptr;
  TSkinForm* Form = nullptr;
  std::array<std::uint8_t, 5> Before[3];
  COLORREF BtnFace = 0, SystemWindow = 0;
};

}  // namespace

TEST_F(SysColors, ColoursBrushesAndPensFollowTheSkin) {
  const TacPalette& p = M->Palette;
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(SysColorRedirected(i)) << i;
  struct Row {
    int Index;
    COLORREF Expected;
  } rows[] = {
      {COLOR_WINDOW, Rgb(p[pcEditBG])},
      {COLOR_WINDOWTEXT, Rgb(p[pcEditText])},
      {COLOR_HIGHLIGHT, Rgb(p[pcSelectionBG_Focused])},
      {COLOR_3DLIGHT, BlendTwoColors(Rgb(p[pcMainColor]), 0xFFFFFF, 205)},
      {COLOR_BTNSHADOW, BlendTwoColors(Rgb(p[pcMainColor]), 0, 205)},
      {COLOR_BTNFACE, BtnFace},
  };
  for (const Row& r : rows) EXPECT_EQ(ExportedGetSysColor(r.Index), r.Expected) << r.Index;
  EXPECT_NE(Rgb(p[pcEditBG]), SystemWindow);

  HPEN pen15 = ExportedCreatePen(PS_SOLID, 1, 15);
  HPEN penGrey = ExportedCreatePen(PS_SOLID, 1, 0xC0C0C0);
  HPEN penPlain = ExportedCreatePen(PS_SOLID, 1, 0x123456);
  EXPECT_EQ(PenColor(pen15), Rgb(p[pcMainColor]));
  EXPECT_EQ(PenColor(penGrey), BlendTwoColors(Rgb(p[pcEditText]), Rgb(p[pcEditBG]), 38));
  EXPECT_EQ(PenColor(penPlain), 0x123456u);
  for (HPEN pen : {pen15, penGrey, penPlain}) DeleteObject(pen);

  EXPECT_EQ(ExportedGetSysColorBrush(COLOR_WINDOW), M->Brushes[5]);
  LOGBRUSH lb{};
  GetObjectW(ExportedGetSysColorBrush(COLOR_HIGHLIGHT), sizeof(lb), &lb);
  EXPECT_EQ(lb.lbColor, Rgb(p[pcSelectionBG_Focused]));

  // The active form hidden: the system's colour again.
  Form->Hide();
  PumpMessages();
  EXPECT_EQ(ExportedGetSysColor(COLOR_WINDOW), SystemWindow);
}

TEST_F(SysColors, HandedOutBrushesAreKeptAndNotMultiplied) {
  // One brush per colour however often it is asked for (Wine counts no GDI objects, so the
  // handles themselves tell).
  for (int index : {COLOR_WINDOW, COLOR_WINDOWTEXT, COLOR_HIGHLIGHT, COLOR_HIGHLIGHTTEXT}) {
    std::set<HBRUSH> handles;
    for (int i = 0; i < 1000; ++i) handles.insert(ExportedGetSysColorBrush(index));
    EXPECT_EQ(handles.size(), 1u) << index;
  }
  // A reload replaces the manager's brushes: one a caller holds stays usable.
  HBRUSH held = ExportedGetSysColorBrush(COLOR_WINDOW);
  M->SetSkinName(L"Tarvel Test");
  M->UpdateSkinData();
  ASSERT_NE(M->Brushes[5], held);
  EXPECT_EQ(GetObjectType(held), static_cast<DWORD>(OBJ_BRUSH));
}

TEST_F(SysColors, SwitchingTwicePatchesAndRestoresOnce) {
  const auto patched = EntryBytes(0);
  EXPECT_EQ(patched[0], 0xE9);
  SysColorsOn();  // already on: the saved bytes stay the system's
  EXPECT_EQ(EntryBytes(0), patched);
  SysColorsOff();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(EntryBytes(i), Before[i]) << i;
  SysColorsOff();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(EntryBytes(i), Before[i]) << i;
  // The option follows: written false and true with the skin active.
  SysColorsOn();
  M->Options.ChangeSysColors = false;
  EXPECT_FALSE(SysColorRedirected(0));
  EXPECT_EQ(EntryBytes(0), Before[0]);
  M->Options.ChangeSysColors = true;
  EXPECT_TRUE(SysColorRedirected(0));
  // Removing the skin switches it off.
  M->SetActive(false);
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(SysColorRedirected(i)) << i;
}

// Wine's user32 list box paints its selected item with GetSysColor(COLOR_HIGHLIGHT) through the
// function's entry; the edit control's background comes from the default window procedure's
// colour answer, which Wine takes inside win32u, past these functions.
TEST_F(SysColors, ASystemListBoxPaintsItsSelectionInTheSkinColour) {
  SetWindowPos(Form->Handle(), HWND_TOP, 100, 100, 400, 300, SWP_SHOWWINDOW);
  HWND list = CreateWindowExW(0, L"LISTBOX", L"", WS_CHILD | WS_VISIBLE, 10, 10, 150, 80, Form->Handle(), nullptr,
                              nullptr, nullptr);
  SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"WWWW"));
  SendMessageW(list, LB_SETCURSEL, 0, 0);
  auto probe = [list] {
    RedrawWindow(list, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    PumpMessagesFor(200);
    RECT r{};
    GetWindowRect(list, &r);
    HDC dc = GetDC(nullptr);
    const COLORREF c = GetPixel(dc, r.left + 1, r.top + 6);
    ReleaseDC(nullptr, dc);
    return c;
  };
  EXPECT_EQ(probe(), Rgb(M->Palette[pcSelectionBG_Focused]));
  M->Options.ChangeSysColors = false;
  EXPECT_EQ(probe(), GetSysColor(COLOR_HIGHLIGHT));
  EXPECT_NE(GetSysColor(COLOR_HIGHLIGHT), Rgb(M->Palette[pcSelectionBG_Focused]));
  DestroyWindow(list);
}
