#include "skin/handlers/acDials.h"

#include <algorithm>
#include <cwctype>

#include "platform/ui/Forms.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/graphics/acntUtils.h"
#include "skin/graphics/sMessages.h"
#include "skin/graphics/sVclUtils.h"
#include "skin/handlers/acSBUtils.h"
#include "skin/manager/sCommonData.h"
#include "skin/manager/sConst.h"
#include "skin/manager/sSkinManager.h"

std::vector<TacProvider*>* HookedProviders = nullptr;

namespace {

std::wstring Lower(std::wstring S) {
  for (wchar_t& c : S) c = static_cast<wchar_t>(std::towlower(c));
  return S;
}

bool AppGoing() {
  TApplication& app = Application();
  return app.Destroying();
}

// The atoms of the dialog and popup-menu classes, and the same classes named by text.
constexpr ULONG_PTR DialogAtom = 0x8002, MenuAtom = 0x8000;

ULONG_PTR ClassAtomOf(LPCWSTR Class) {
  if (IS_INTRESOURCE(Class)) return reinterpret_cast<ULONG_PTR>(Class);
  if (!Class) return 0;
  const std::wstring name(Class);
  if (name == L"#32770") return DialogAtom;
  if (name == L"#32768") return MenuAtom;
  return 0x10000;  // a class given by name
}

void AddMenuWindow(HWND Wnd) {
  // A kiosk runs for weeks: handlers whose window is gone leave the array first.
  for (TacMnuWnd* h : std::vector<TacMnuWnd*>(MenuWindows))
    if (h && h->Destroyed) delete h;
  new TacMnuWnd(Wnd, DefaultManager());
}

}  // namespace

// ---------------------------------------------------------------------------
// The hook
// ---------------------------------------------------------------------------

LRESULT CALLBACK DialogCbtHookProc(int Code, WPARAM WParam, LPARAM LParam) {
  const LRESULT result = CallNextHookEx(nullptr, Code, WParam, LParam);
  try {
    if (AppGoing()) return result;
    HWND wnd = reinterpret_cast<HWND>(WParam);
    if (Code == HCBT_ACTIVATE) {
      SkinNewTopWindow(wnd, nullptr);
    } else if (Code == HCBT_CREATEWND && wnd) {
      auto* cw = reinterpret_cast<CBT_CREATEWNDW*>(LParam);
      CREATESTRUCTW* cs = cw ? cw->lpcs : nullptr;
      if (!cs) return result;
      const ULONG_PTR atom = ClassAtomOf(cs->lpszClass);
      if (atom == DialogAtom) {
        SkinNewTopWindow(wnd, nullptr);
      } else if (atom == MenuAtom) {
        TsSkinManager* m = DefaultManager();
        if (acOSCode >= 6 && m && m->SkinnedPopups() && !IsSkinnedWindow(wnd)) AddMenuWindow(wnd);
      } else if (atom > 0xFFFF) {
        TForm* main = Application().MainForm();
        const bool isMain = main && (!main->HandleAllocated() || main->Handle() == wnd);
        if (WindowClassName(wnd) != L"TPUtilWindow" && cs->style && cs->dwExStyle && !isMain && !cs->hwndParent &&
            !GetParent(wnd))
          SkinNewTopWindow(wnd, nullptr);
      }
    }
  } catch (...) {
    // Nothing may cross the system's frame; the application reports it.
    Application().HandleException(std::current_exception());
  }
  return result;
}

// ---------------------------------------------------------------------------
// Selection
// ---------------------------------------------------------------------------

bool SkinNewTopWindow(HWND Wnd, void* Info) {
  TsSkinManager* m = DefaultManager();
  if (!m || AppGoing() || !Wnd || IsSkinnedWindow(Wnd)) return false;
  std::wstring cls;
  if (auto* cs = static_cast<CREATESTRUCTW*>(Info); cs && cs->lpszClass) {
    const ULONG_PTR atom = ClassAtomOf(cs->lpszClass);
    if (atom == DialogAtom)
      cls = L"#32770";
    else if (atom > 0xFFFF)
      cls = cs->lpszClass;
  }
  if (cls.empty()) cls = WindowClassName(Wnd);
  const LONG style = GetWindowLongW(Wnd, GWL_STYLE);
  if ((style & WS_POPUP) && !(style & WS_BORDER)) return false;
  if (FindDialogProvider(Wnd)) return false;
  if (TForm* form = FindFormByHandle(Wnd)) {
    if ((form->Tag & acSkipSkinningTag) == acSkipSkinningTag) return true;
    if (IsPopupClassToSkip(cls)) return false;
    const unsigned rules = m->SkinningRules();
    const bool allowed = cls == L"TMessageForm" ? (rules & srStdDialogs) != 0 : (rules & srStdForms) != 0;
    if (!allowed) return false;
    auto adopt = [](TForm* f) {
      if (!HookedProviders) HookedProviders = new std::vector<TacProvider*>;
      auto* p = new TacProvider;
      p->OwnerForm = f;
      HookedProviders->push_back(p);
      p->InitForm(f);
    };
    adopt(form);
    if (form->FormKind() == fkMDIForm)
      for (int i = 0; i < form->MDIChildCount(); ++i)
        if (TForm* child = form->MDIChildren(i); child && child->HandleAllocated() && !IsSkinnedWindow(child->Handle()))
          adopt(child);
    return true;
  }
  if (cls != L"#32770" && cls != L"NativeHWNDHost") return true;
  if (GetParent(Wnd) && (style & WS_CHILD)) return true;
  if (!(m->SkinningRules() & srStdDialogs)) return false;
  if (VisibleDialogCount() >= acMaxVisibleDialogs && !HasDescendantOfClass(Wnd, L"toolbarwindow32")) return false;
  bool allow = true;
  if (m->OnSysDlgInit) m->OnSysDlgInit(Wnd, allow);
  if (!allow) return false;
  auto* p = new TacProvider;
  p->CtrlHandle = Wnd;
  if (!HookedProviders) HookedProviders = new std::vector<TacProvider*>;
  HookedProviders->push_back(p);
  if (!p->InitSkin(Wnd)) {
    auto& list = *HookedProviders;
    list.erase(std::remove(list.begin(), list.end(), p), list.end());
    delete p;
  }
  return allow;
}

TacControlChoice ChooseControlHandler(const std::wstring& Class, LONG Style, LONG ExStyle, bool Visible, int Height) {
  TacControlChoice c;
  auto pick = [&c](const wchar_t* Kind, const wchar_t* Section = L"") {
    c.Kind = Kind;
    c.Section = Section;
  };
  if (Class == L"static") {
    const LONG type = Style & SS_TYPEMASK;
    if (type == SS_ICON || type == SS_BITMAP) {
      if (ExStyle & WS_EX_STATICEDGE)
        pick(L"TacEdgeWnd", L"EDIT");
      else
        pick(L"TacIconWnd");
    } else if (type != SS_OWNERDRAW && type != SS_GRAYRECT && type != SS_WHITERECT && type != SS_SIMPLE) {
      pick(L"TacStaticWnd");
    }
  } else if (Class == L"#32770") {
    pick(L"TacTransPanelWnd");
  } else if (Class == L"tpanel") {
    pick(L"TacPanelWnd", L"TRANSPARENT");
    c.PanelControl = true;
  } else if (Class == L"tsilentpaintpanel") {
    pick(L"TacPanelWnd", L"GROUPBOX");
    c.PanelControl = c.SilentPanel = true;
  } else if (Class == L"edit") {
    c.ClearsPaintForbidden = true;
    if (Visible) {
      pick(L"TacEditWnd", L"EDIT");
      c.RepaintFromCache = true;
    }
  } else if (Class == L"button" || Class == L"tbutton") {
    const LONG type = Style & BS_TYPEMASK;
    switch (type) {
      case BS_CHECKBOX: case BS_AUTOCHECKBOX: case BS_3STATE: case BS_AUTO3STATE:
      case BS_RADIOBUTTON: case BS_AUTORADIOBUTTON:
        pick(L"TacCheckBoxWnd");
        break;
      case BS_GROUPBOX:
        pick(L"TacGroupBoxWnd", L"GROUPBOX");
        break;
      case 12: case 13: case 14: case 15:  // split buttons and command links
        pick(L"TacSplitBtnWnd");
        break;
      case BS_OWNERDRAW:
        if (Class == L"tbutton") pick(L"TacBtnWnd");
        break;
      default:
        // The button handlers draw no native image.
        if (!(Style & (BS_ICON | BS_BITMAP))) pick(L"TacBtnWnd");
        break;
    }
  } else if (Class == L"combobox" || Class == L"comboboxex32") {
    c.ClearsPaintForbidden = true;
    pick(L"TacComboBoxWnd", L"COMBOBOX");
    c.RepaintFromCache = Class == L"combobox";
  } else if (Class == L"combolbox") {
    c.ClearsPaintForbidden = true;
    pick(L"TacEditWnd", L"COMBOBOX");
  } else if (Class == L"scrollbar") {
    if (Style & SBS_SIZEGRIP) pick(L"TacSizerWnd");
  } else if (Class == L"systabcontrol32") {
    constexpr LONG OwnerDrawnTabs = 0x2000;  // TCS_OWNERDRAWFIXED
    if (!(Style & OwnerDrawnTabs)) pick(L"TacTabControlWnd", L"PAGECONTROL");
  } else if (Class == L"syslistview32") {
    pick(L"TacListViewWnd", L"EDIT");
  } else if (Class == L"msctls_updown32") {
    pick(L"TacSpinWnd", L"SPEEDBUTTON_SMALL");
    c.SpinOffset = true;
  } else if (Class == L"msctls_trackbar32") {
    pick(L"TacTrackWnd", L"TRACKBAR");
  } else if (Class == L"listbox") {
    c.ClearsPaintForbidden = true;
    pick(L"TacEditWnd", L"EDIT");
  } else if (Class == L"link window" || Class == L"syslink") {
    pick(L"TacLinkWnd");
  } else if (Class == L"toolbarwindow32") {
    pick(L"TacToolBarWnd", (Style & 0x200) ? L"BAR" : L"TRANSPARENT");
  } else if (Class == L"shbrowseforfolder") {
    pick(L"TacTransPanelWnd");
  } else if (Class == L"ctrlnotifysink") {
  } else if (Class == L"rebarwindow32" || Class == L"msctls_progress32" || Class == L"universalsearchband" ||
             Class == L"address band root" || Class == L"workerw" || Class == L"search box" ||
             Class == L"travelband" || Class == L"breadcrumb parent") {
    if (Visible) pick(L"TacContainerWnd");
  } else if (Class == L"directuihwnd") {
    if (Height == 24) pick(L"TacSearchWnd");
  }
  return c;
}

TacProvider::~TacProvider() {
  if (HookedProviders)
    for (TacProvider*& e : *HookedProviders)
      if (e == this) e = nullptr;
  if (!ListSW && !CtrlHandle && !OwnerForm) return;
  std::vector<TacMainWnd*> handlers;
  handlers.swap(acSkinnedCtrls);
  for (TacMainWnd* h : handlers) FreeHandler(h);
  FreeHandlerOf(ListSW);
}

void TacProvider::InitForm(TForm* Form) {
  OwnerForm = Form;
  sp = TsSkinProvider::CreateRT(Form);
  if (!sp) return;
  sp->SetFlagProperty(3, false);
  sp->Form = Form;
  CtrlHandle = Form->HandleAllocated() ? Form->Handle() : nullptr;
  if (IsDwmCompositionOn()) {
    if (!sp->Adapter) sp->Loaded();
    if (CtrlHandle && IsWindowVisible(CtrlHandle)) {
      RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
      SendMessageW(CtrlHandle, WM_NCPAINT, 0, 0);
    }
  } else if (!DebuggerPresent() && CtrlHandle && IsWindowVisible(CtrlHandle)) {
    UpdateWindow(CtrlHandle);
    RedrawWindow(CtrlHandle, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
  }
  sp->MakeSkinMenu = false;
}

bool TacProvider::InitSkin(HWND Wnd) {
  CtrlHandle = Wnd;
  acSkinnedCtrls.clear();
  TsSkinManager* m = DefaultManager();
  if (ListSW || !m || !m->IsActive()) return true;
  CreateDialogHandler(Wnd, ListSW);
  if (!ListSW || !InitHwndControls(Wnd)) {
    if (HookedProviders)
      for (TacProvider*& e : *HookedProviders)
        if (e == this) e = nullptr;
    return false;
  }
  ListSW->Provider = this;
  ListSW->InitParams();
  SendSkinCommand(Wnd, SKCMD_NEW_SKIN, reinterpret_cast<LPARAM>(m));
  return true;
}

bool TacProvider::InitHwndControls(HWND Wnd) {
  for (HWND child = GetTopWindow(Wnd); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (!InitHwndControls(child)) return false;
    if ((GetWindowLongW(child, GWL_STYLE) & WS_CHILD) && !AddControl(child)) return false;
  }
  return true;
}

bool TacProvider::AddControl(HWND Wnd) {
  if (!Wnd) return false;
  if (IsSkinnedWindow(Wnd)) return true;
  struct TDlgModeOn {
    TDlgModeOn() { acDlgMode = true; }
    ~TDlgModeOn() { acDlgMode = false; }
  } mode;
  RECT wr{};
  GetWindowRect(Wnd, &wr);
  const TacControlChoice choice =
      ChooseControlHandler(Lower(WindowClassName(Wnd)), GetWindowLongW(Wnd, GWL_STYLE),
                           GetWindowLongW(Wnd, GWL_EXSTYLE), IsWindowVisible(Wnd) != FALSE, wr.bottom - wr.top);
  if (choice.ClearsPaintForbidden && ListSW) ListSW->FWMPaintForbidden = false;
  if (choice.Kind.empty()) return true;
  TacSkinParams params;
  params.SkinSection = choice.Section;
  TsSkinManager* manager = ListSW && ListSW->SkinData ? ListSW->SkinData->ReadSkinManager() : DefaultManager();
  const bool repaint = choice.RepaintFromCache && ListSW && ListSW->SkinData && ListSW->SkinData->FCacheBmp &&
                       !ListSW->SkinData->FCacheBmp->Empty();
  if (choice.PanelControl) params.Control = TWinControl::FromHandle(Wnd);
  TacMainWnd* h = CreateHandler(choice.Kind, Wnd, repaint, params, manager, nullptr);
  if (!h) return true;
  acSkinnedCtrls.push_back(h);
  ReadWindowGeometry(Wnd, h->ParentWnd, h->WndRect, h->WndPos, h->WndSize, h->ParentRect);
  if (h->SkinData) h->SkinData->FUpdating = false;
  return true;
}

int TacProvider::PrintHwndControls(HWND Wnd, HDC DC) {
  for (HWND child = GetTopWindow(Wnd); child; child = GetWindow(child, GW_HWNDNEXT)) {
    const int saved = SaveDC(DC);
    RECT r{};
    GetWindowRect(child, &r);
    POINT p{r.left, r.top};
    ScreenToClient(Wnd, &p);
    POINT origin{};
    GetWindowOrgEx(DC, &origin);
    SetWindowOrgEx(DC, origin.x - p.x, origin.y - p.y, nullptr);
    const LONG style = GetWindowLongW(child, GWL_STYLE);
    if ((style & WS_CHILD) && (style & WS_VISIBLE)) {
      SendSkinCommand(child, SKCMD_SET_PRINT_DC, reinterpret_cast<LPARAM>(DC));
      SendMessageW(child, WM_PRINT, reinterpret_cast<WPARAM>(DC), 0);
      SendSkinCommand(child, SKCMD_SET_PRINT_DC, 0);
      PrintHwndControls(child, DC);
    }
    RestoreDC(DC, saved);
  }
  return 0;
}

void CreateDialogHandler(HWND Wnd, TacDialogWnd*& Handler) {
  TsSkinManager* m = DefaultManager();
  if (!m || !m->IsActive()) {
    FreeHandlerOf(Handler);
    if (acInitializeFlatSB) acInitializeFlatSB(Wnd);
    return;
  }
  if (acUninitializeFlatSB) acUninitializeFlatSB(Wnd);
  if (Handler && Handler->Destroyed) FreeHandlerOf(Handler);
  if (Handler) return;
  TacSkinParams params;
  params.SkinSection = L"DIALOG";
  TacMainWnd* h = CreateHandler(L"TacDialogWnd", Wnd, false, params, m, nullptr);
  Handler = dynamic_cast<TacDialogWnd*>(h);
  if (!Handler) {
    FreeHandler(h);
    return;
  }
  Handler->CtrlHandle = Wnd;
  const LONG style = GetWindowLongW(Wnd, GWL_STYLE);
  Handler->HadNoIdleMsg = (style & DS_NOIDLEMSG) != 0;
  SetWindowLongW(Wnd, GWL_STYLE, style & ~DS_NOIDLEMSG);
}

TacProvider* FindDialogProvider(HWND Wnd) {
  if (!HookedProviders || Application().Terminated()) return nullptr;
  for (TacProvider* p : *HookedProviders)
    if (p && p->CtrlHandle == Wnd) return p;
  return nullptr;
}

TForm* FindFormByHandle(HWND Wnd) {
  TScreen& screen = Screen();
  for (int i = screen.FormCount() - 1; i >= 0; --i) {
    TForm* f = screen.Forms(i);
    if (!f || f->Destroying() || !f->HandleAllocated()) continue;
    if (f->Handle() == Wnd) return f;
    if (f->FormKind() == fkMDIForm)
      for (int c = 0; c < f->MDIChildCount(); ++c)
        if (TForm* child = f->MDIChildren(c);
            child && !child->Destroying() && child->HandleAllocated() && child->Handle() == Wnd)
          return child;
  }
  return nullptr;
}

void PurgeDialogProviders() {
  if (!HookedProviders) return;
  auto& list = *HookedProviders;
  for (std::size_t i = list.size(); i-- > 0;) {
    TacProvider* p = list[i];
    if (p && p->ListSW && !p->ListSW->Destroyed) continue;
    list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
    delete p;
  }
}

int VisibleDialogCount() {
  PurgeDialogProviders();
  int n = 0;
  if (HookedProviders)
    for (TacProvider* p : *HookedProviders)
      if (p && p->ListSW && p->ListSW->CtrlHandle && IsWindowVisible(p->ListSW->CtrlHandle)) ++n;
  return n;
}

bool HasDescendantOfClass(HWND Wnd, const std::wstring& LowerClassName) {
  for (HWND child = GetTopWindow(Wnd); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (Lower(WindowClassName(child)) == LowerClassName) return true;
    if (HasDescendantOfClass(child, LowerClassName)) return true;
  }
  return false;
}

void SendToChildWindows(HWND Wnd, TMessage& Message) {
  for (HWND child = GetTopWindow(Wnd); child; child = GetWindow(child, GW_HWNDNEXT))
    SendMessageW(child, Message.Msg, Message.WParam, Message.LParam);
}

void FreeMenuWindows() {
  std::vector<TacMnuWnd*> all;
  all.swap(MenuWindows);
  for (TacMnuWnd* h : all) delete h;
}

void FreeDialogProviders() {
  std::vector<TacProvider*>* list = HookedProviders;
  HookedProviders = nullptr;
  if (!list) return;
  for (TacProvider* p : *list) delete p;
  delete list;
}


// ---- glyphs of image lists ----

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>

#include "platform/ui/ImgList.h"
#include "skin/controls/acAlphaImageList.h"
#include "skin/graphics/acAlphaImage.h"
#include "skin/graphics/acLayeredAnim.h"
#include "skin/graphics/acThdTimer.h"
#include "skin/graphics/acPixelBlend.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/graphics/sVclUtils.h"
#include "skin/manager/sSkinManager.h"

int ImageListCount(TCustomImageList* List) { return List ? List->Count() : 0; }

int ScaledImageWidth(TCustomImageList* List, int Index, int PPI) {
  if (!List) return 0;
  auto* chars = dynamic_cast<TsCharImageList*>(List);
  if (chars && Index >= 0 && Index < chars->Items().Count()) {
    const int w = RoundHalfEven(chars->Width() * chars->Items().GetItem(Index)->ScalingFactor());
    return chars->FAllowScale ? PPI * w / 96 : w;
  }
  return PPI * List->Width() / 96;
}

int ScaledImageHeight(TCustomImageList* List, int Index, int PPI) {
  if (!List) return 0;
  auto* chars = dynamic_cast<TsCharImageList*>(List);
  if (chars && Index >= 0 && Index < chars->Items().Count()) {
    const TacCharListItem& item = *chars->Items().GetItem(Index);
    return PPI * RoundHalfEven((chars->Height() + std::abs(item.OffsetY())) * item.ScalingFactor()) / 96;
  }
  return PPI * List->Height() / 96;
}

int ListGlyphCell(int CurrentState, int NumGlyphs, bool Enabled, bool StdGlyphsOrder) {
  int state = std::max(0, CurrentState);
  if (!StdGlyphsOrder) return state;
  if (state == 1) return 0;
  if (state == 0 && !Enabled) return 1;
  if (state >= 2 && NumGlyphs < 3) return 0;
  return state;
}

namespace {

bool AllAlphaZero(TBitmap& Bmp) {
  std::uint8_t* base = Bmp.Bits();
  for (int y = 0; y < Bmp.Height(); ++y) {
    const std::uint8_t* row = base + static_cast<std::ptrdiff_t>(y) * Bmp.Stride();
    for (int x = 0; x < Bmp.Width(); ++x)
      if (row[4 * x + 3]) return false;
  }
  return true;
}

std::unique_ptr<TBitmap> Work32(int W, int H) {
  auto bmp = std::make_unique<TBitmap>();
  bmp->SetPixelFormat(pf32bit);
  bmp->SetSize(std::max(0, W), std::max(0, H));
  return bmp;
}

}  // namespace

void DrawListGlyph(const TacGlyphDrawInfo& Source) {
  TacGlyphDrawInfo Info = Source;
  Info.NumGlyphs = std::max(1, Info.NumGlyphs);
  Info.CurrentState = std::max(0, Info.CurrentState);
  if (!Info.DstBmp && !Info.DstCanvas) return;
  const TColor tint = Info.Grayed ? SkinColorOf(Info.BlendColor) : clNone;
  TsSkinManager* manager = DefaultManager();
  const bool stdOrder = manager && manager->Options.StdGlyphsOrder;
  const int state = ListGlyphCell(Info.CurrentState, Info.NumGlyphs, Info.Enabled, stdOrder);

  if (Info.Images && Info.ImageIndex >= 0 && Info.ImageIndex < ImageListCount(Info.Images)) {
    auto* ac = dynamic_cast<TacImageList*>(Info.Images);
    if (ac) {
      const int cell = state + (Info.Down ? 1 : 0);
      const int blend = std::max(state == 0 ? Info.Blend : 0, !Info.Enabled && (Info.DisabledKind & dkBlended) ? 50 : 0);
      if (Info.DstBmp) {
        TSize size{};
        DrawImageListItem(Info.Images, Info.DstBmp, Info.DstRect.Left, Info.DstRect.Top, Info.ImageIndex, blend, tint,
                          cell, Info.NumGlyphs, Info.Reflected, Info.PPI, size);
      } else {
        auto* chars = dynamic_cast<TsCharImageList*>(ac);
        if (chars)
          chars->SetCharColor(SkinColorOf(Info.DstCanvas->Font.Color.Get()), Info.ImageIndex,
                              Info.DstCanvas->Font.Height.Get() != 0);
        DrawImageListItemOnDC(Info.Images, Info.DstCanvas->Handle(), Info.DstRect.Left, Info.DstRect.Top,
                              Info.ImageIndex, blend, tint, cell, Info.NumGlyphs, Info.Reflected, Info.PPI);
        if (chars) chars->ForeColor = clNone;
      }
      return;
    }
    const int W = ScaledImageWidth(Info.Images, Info.ImageIndex, Info.PPI);
    const int H = ScaledImageHeight(Info.Images, Info.ImageIndex, Info.PPI);
    if (Info.DstBmp && W > 0 && H > 0) {
      auto work = Work32(W, H);
      const TColor fill = Info.Images->BkColor() == clNone ? 0xFF00FF : ColorToRGB(Info.Images->BkColor());
      work->Canvas().Brush.Color = fill;
      work->Canvas().FillRect(TRect{0, 0, W, H});
      Info.Images->Draw(&work->Canvas(), 0, 0, Info.ImageIndex, true);
      const std::uint32_t keyPixel = 0x00FF00FF;
      const TColor topLeft = work->Canvas().Pixel(0, 0);
      const std::uint32_t topLeftPixel =
          static_cast<std::uint32_t>((topLeft & 0xFF) << 16 | (topLeft & 0xFF00) | (topLeft >> 16 & 0xFF));
      const TRect all{0, 0, W - 1, H - 1};
      if (Info.Enabled) {
        if (state == 0 && Info.Grayed) GrayscaleBitmapExceptKey(work.get(), topLeftPixel);
        if (state != 0 || Info.Blend < 1)
          PasteExceptKey(Info.DstBmp, work.get(), Info.DstRect.Left, Info.DstRect.Top, fill);
        else
          CopyExceptKey(Info.DstBmp, Info.DstRect.Left, Info.DstRect.Top, work.get(), all,
                        static_cast<std::uint8_t>(std::clamp(Info.Blend * 255 / 100, 0, 255)), keyPixel);
      } else {
        if (Info.Grayed) GrayscaleBitmapExceptKey(work.get(), topLeftPixel);
        if (Info.DisabledKind & dkBlended)
          CopyExceptKey(Info.DstBmp, Info.DstRect.Left, Info.DstRect.Top, work.get(), all, 127, keyPixel);
        else
          PasteExceptKey(Info.DstBmp, work.get(), Info.DstRect.Left, Info.DstRect.Top, fill);
      }
    } else if (Info.DstCanvas) {
      Info.Images->Draw(Info.DstCanvas, Info.DstRect.Left, Info.DstRect.Top, Info.ImageIndex, true);
    }
    return;
  }

  TBitmap* glyph = Info.Glyph;
  if (!glyph || glyph->Empty() || Info.DstRect.IsEmpty()) return;
  const bool is32 = glyph->PixelFormat() == pf32bit && !AllAlphaZero(*glyph);
  if (is32) {
    // The cell is the rectangle's width at the state's place, clipped to the bitmap: a strip
    // narrower than its cells is never read past its edge.
    const int cellWidth = Info.DstRect.Width();
    const int cellIndex = std::min(state, Info.NumGlyphs - 1);
    TRect src{cellWidth * cellIndex, 0, cellWidth * cellIndex + cellWidth, glyph->Height()};
    src.Right = std::min(src.Right, glyph->Width());
    if (src.IsEmpty()) return;
    if (Info.DstBmp) {
      DrawImageAlpha(Info.DstRect, src, Info.DstBmp, glyph, TCacheInfo{}, false, tint, state == 0 ? Info.Blend : 0,
                     Info.Reflected);
      return;
    }
    auto work = Work32(src.Width(), src.Height());
    BitBlt(work->Canvas().Handle(), 0, 0, src.Width(), src.Height(), glyph->Canvas().Handle(), src.Left, 0, SRCCOPY);
    int e = Info.Blend;
    if (!Info.Enabled && (Info.DisabledKind & dkBlended)) e = std::max(e, 50);
    if (state == 0 && e != 0) {
      std::uint8_t* base = work->Bits();
      for (int y = 0; y < work->Height(); ++y)
        for (int x = 0; x < work->Width(); ++x) {
          std::uint8_t& a = base[static_cast<std::ptrdiff_t>(y) * work->Stride() + 4 * x + 3];
          a = static_cast<std::uint8_t>(a * e / 100);
        }
    }
    if ((!Info.Enabled && (Info.DisabledKind & dkGrayed)) || (state == 0 && Info.Grayed)) GrayscaleBitmap(work.get());
    DrawAlphaBitmapOnCanvas(Info.DstCanvas, work.get(),
                            TRect{Info.DstRect.Left, Info.DstRect.Top, Info.DstRect.Left + src.Width(),
                                  Info.DstRect.Top + src.Height()},
                            Info.Reflected);
    return;
  }
  // Bitmaps without alpha go through the button-glyph cell painter. Its cell choice is
  // mapped from the state found above: cell 0 is its first cell (with Blend), any other
  // cell c its state cell c - 2 + 2.
  const int cell = std::min(state + (Info.Down && state == 0 ? 2 : 0), Info.NumGlyphs - 1);
  const bool useStateCell = cell != 0;
  const int mode = cell == 0 ? 0 : 2;
  const int blend = cell == 0 ? (!Info.Enabled && (Info.DisabledKind & dkBlended) ? std::max(Info.Blend, 50) : Info.Blend) : 0;
  if (Info.DstBmp) {
    DrawButtonGlyphCell(glyph, Info.DstBmp, Info.DstRect, Info.NumGlyphs, useStateCell, mode, blend, cell - 2,
                        Info.Reflected);
    return;
  }
  auto work = Work32(Info.DstRect.Width(), Info.DstRect.Height());
  if (work->Empty()) return;
  BitBlt(work->Canvas().Handle(), 0, 0, work->Width(), work->Height(), Info.DstCanvas->Handle(), Info.DstRect.Left,
         Info.DstRect.Top, SRCCOPY);
  DrawButtonGlyphCell(glyph, work.get(), TRect{0, 0, work->Width(), work->Height()}, Info.NumGlyphs, useStateCell,
                      mode, blend, cell - 2, Info.Reflected);
  BitBlt(Info.DstCanvas->Handle(), Info.DstRect.Left, Info.DstRect.Top, work->Width(), work->Height(),
         work->Canvas().Handle(), 0, 0, SRCCOPY);
}

const std::vector<std::wstring>& PopupClassesToSkip() {
  static const std::vector<std::wstring> classes = [] {
    std::vector<std::wstring> v{L"TApplication",         L"TfcPopup",           L"TcxComboBoxPopupWindow",
                                L"TcxCustomPopupWindow", L"TdxPopupEditForm",   L"TcxDateEditPopupWindow",
                                L"TcxGridFilterPopup"};
    std::sort(v.begin(), v.end());
    return v;
  }();
  return classes;
}

bool IsPopupClassToSkip(const std::wstring& ClassName) {
  const auto& v = PopupClassesToSkip();
  return std::binary_search(v.begin(), v.end(), ClassName);
}
