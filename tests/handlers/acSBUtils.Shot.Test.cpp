// Native controls of a dialog taken over by handlers that paint from their caches (the base's
// cache rendering and corners), a list box with skinned scroll bars among them. Checks that
// every control shows its section on screen; with TARVEL_HANDLER_SHOT set the window stays
// up that many milliseconds, for a look at the screen.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "HandlerDialogs.h"
#include "HandlerFixtures.h"
#include "skin/handlers/acSBUtils.Scroll.h"
#include "skin/manager/sCommonData.h"

using namespace handler_tests;

namespace {

// A handler that shows its cache: the section over the parent's background, corners cut.
class TCachePaintWnd : public TacMainWnd {
public:
  using TacMainWnd::TacMainWnd;
  void acWndProc(TMessage& Message) override {
    switch (Message.Msg) {
      case WM_ERASEBKGND:
        Message.Result = 1;
        return;
      case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = Message.WParam ? reinterpret_cast<HDC>(Message.WParam) : BeginPaint(CtrlHandle, &ps);
        ReadWindowGeometry(CtrlHandle, ParentWnd, WndRect, WndPos, WndSize, ParentRect);
        SkinData->BGChanged = true;
        RenderControlCache(SkinData, CtrlHandle, false);
        PaintBorderCorners(SkinData, 0, this);
        TBitmap* cache = SkinData->FCacheBmp.get();
        if (cache && !cache->Empty()) {
          InitHandlerFont(this, false);
          TCanvas& c = cache->Canvas();
          SetBkMode(c.Handle(), TRANSPARENT);
          TRect r{0, 0, cache->Width(), cache->Height()};
          if (!Caption.empty()) DrawTextW(c.Handle(), Caption.c_str(), -1, reinterpret_cast<RECT*>(&r),
                                          DT_CENTER | DT_VCENTER | DT_SINGLELINE);
          BitBlt(dc, 0, 0, cache->Width(), cache->Height(), c.Handle(), 0, 0, SRCCOPY);
        }
        if (!Message.WParam) EndPaint(CtrlHandle, &ps);
        Message.Result = 0;
        return;
      }
    }
    TacMainWnd::acWndProc(Message);
  }
};

}  // namespace

TEST(HandlerShot, NativeControlsTakenOverByHandlers) {
  Application().Initialize();
  TTestManager skin;
  ASSERT_TRUE(skin.M->IsActive());
  TKindScope kinds;
  kinds.Add(L"TCachePaintWnd", MakerOf<TCachePaintWnd>());
  HWND dlg = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ALL_CLASSES), nullptr,
                                [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
  ASSERT_NE(dlg, nullptr);
  SetWindowPos(dlg, HWND_TOP, 20, 20, 0, 0, SWP_NOSIZE);
  HWND list = GetDlgItem(dlg, 1032);
  for (int i = 0; i < 30; ++i) SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"item"));
  const std::vector<std::pair<int, const wchar_t*>> sections = {
      {1001, L"CHECKBOX"}, {1010, L"EDIT"}, {1020, L"BUTTON"}, {1021, L"CHECKBOX"}, {1022, L"TESTKEYBORDER"},
      {1023, L"PANEL"},    {1024, L"BUTTON"}, {1030, L"EDIT"}, {1050, L"FORM"},     {1053, L"TESTMASKED"}};
  std::vector<TacMainWnd*> handlers;
  handlers.push_back(CreateHandler(L"TCachePaintWnd", dlg, false, [] {
    TacSkinParams p;
    p.SkinSection = L"PANEL_LOW";
    p.UseSkinColor = p.UseSkinFontColor = true;
    return p;
  }(), skin.M, nullptr));
  for (auto [id, section] : sections) {
    TacSkinParams p;
    p.SkinSection = section;
    p.UseSkinColor = p.UseSkinFontColor = true;
    handlers.push_back(CreateHandler(L"TCachePaintWnd", GetDlgItem(dlg, id), false, p, skin.M, nullptr));
  }
  auto data = std::make_unique<TsScrollWndData>(nullptr, true);
  data->WriteSkinManager(skin.M);
  data->WriteSkinSection(L"EDIT");
  TacSkinParams sp;
  TacScrollWnd* scroll = NewHandler<TacScrollWnd>(L"TacScrollWnd", list, true, sp, skin.M, data.get());
  ShowWindow(dlg, SW_SHOW);
  RedrawWindow(dlg, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  PumpMessagesFor(300);
  // Each taken-over control shows its own section's colour somewhere inside.
  for (std::size_t i = 1; i < handlers.size(); ++i) {
    TacMainWnd* h = handlers[i];
    SCOPED_TRACE(h->SkinData->SkinSection());
    ASSERT_FALSE(h->SkinData->FCacheBmp->Empty());
    int w = 0, hgt = 0;
    const auto shown = CaptureClient(h->CtrlHandle, w, hgt);
    const std::uint32_t expected =
        reinterpret_cast<const std::uint32_t*>(h->SkinData->FCacheBmp->ScanLine(hgt / 2))[w - 3] & 0xFFFFFF;
    EXPECT_EQ(shown[static_cast<std::size_t>(hgt / 2) * w + (w - 3)], expected);
  }
  if (const char* ms = std::getenv("TARVEL_HANDLER_SHOT")) PumpMessagesFor(static_cast<DWORD>(std::atoi(ms)));
  FreeHandlerOf(scroll);
  for (TacMainWnd*& h : handlers) FreeHandler(h);
  DestroyWindow(dlg);
}
