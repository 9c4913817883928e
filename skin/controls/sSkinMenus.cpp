#include "skin/controls/sSkinMenus.h"

#include <algorithm>
#include <cstring>

#include "platform/ui/Forms.h"
#include "platform/ui/ImgList.h"
#include "skin/controls/acAlphaImageList.h"
#include "skin/controls/acStdGlyphs.h"
#include "skin/graphics/acAlphaImage.h"
#include "skin/graphics/acPixelBlend.h"
#include "skin/graphics/acText.h"
#include "skin/graphics/acntUtils.h"
#include "skin/graphics/sGraphUtils.Background.h"
#include "skin/graphics/sGraphUtils.Blits.h"
#include "skin/graphics/sGraphUtils.NineSlice.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/graphics/sMessages.h"
#include "skin/graphics/sVclUtils.h"
#include "skin/forms/sSkinProvider.h"
#include "skin/handlers/acDials.h"
#include "skin/manager/sSkinData.h"
#include "skin/manager/sSkinManager.h"

std::vector<std::unique_ptr<TacMenuInfo>> MenuInfoList;
int GlyphColumnWidth = 0;
std::unique_ptr<TFont> CustomMenuFont;
bool SkinnedMenuActive = false;
bool ExtraLineQuery = false;
std::wstring ExtraLineSection, ExtraLineCaption;
std::unique_ptr<TBitmap> ExtraLineGlyph;

namespace {
constexpr std::uint32_t KeyPixel = 0x00FF00FFu;
constexpr std::uint8_t DisabledBlendWeight = 100;

// A menu info whose first item is freed goes with it: the key would otherwise match the
// next item made at the same address.
void DropInfosOfItem(TMenuItem* Item) {
  auto& l = MenuInfoList;
  l.erase(std::remove_if(l.begin(), l.end(), [Item](const auto& mi) { return mi->FirstItem == Item; }), l.end());
}

struct TFreeHookInstaller {
  TFreeHookInstaller() { SetMenuItemFreeHook(DropInfosOfItem); }
};

void EnsureFreeHook() { static TFreeHookInstaller installer; }

// W x H pixels of Src at (SX, SY) to (DX, DY) of Dst, clipped to both bitmaps.
void CopyPixels(TBitmap* Dst, int DX, int DY, TBitmap* Src, int SX, int SY, int W, int H) {
  TPixels32 d, s;
  if (!Dst || !Src || !GetPixels32(Dst, d) || !GetPixels32(Src, s)) return;
  TCopySpan span;
  if (!ClipCopySpan(DX, DY, SX, SY, W, H, d.Width, d.Height, s.Width, s.Height, span)) return;
  for (int r = 0; r < span.H; ++r)
    std::memcpy(d.Row(span.DY + r) + span.DX, s.Row(span.SY + r) + span.SX, static_cast<std::size_t>(span.W) * 4);
}

std::wstring StripAmpersands(std::wstring Text) {
  Text.erase(std::remove(Text.begin(), Text.end(), L'&'), Text.end());
  return Text;
}

TMenuItem* FirstItemOf(TMenuItem* Item) {
  TMenuItem* parent = Item ? Item->Parent() : nullptr;
  return parent && parent->Count() > 0 ? (*parent)[0] : Item;
}

// The text a popup item shows: caption, then the shortcut (caption items have none).
std::wstring ItemText(TMenuItem* Item, bool WithShortCut) {
  std::wstring text = Item->DisplayCaption();
  if (WithShortCut && !Item->ShortCutText.empty()) text += Item->ShortCutText;
  return text;
}

TRect MirrorRect(const TRect& R, int Width) { return Rect(Width - R.Right, R.Top, Width - R.Left, R.Bottom); }

void MirrorBitmap(TBitmap* Bmp) {
  TPixels32 p;
  if (!GetPixels32(Bmp, p)) return;
  for (int y = 0; y < p.Height; ++y) std::reverse(p.Row(y), p.Row(y) + p.Width);
}

TCustomImageList* SubMenuImagesOf(TMenuItem* Item) {
  TMenuItem* parent = Item->Parent();
  return parent ? dynamic_cast<TCustomImageList*>(parent->SubMenuImages) : nullptr;
}

TCustomImageList* MenuImagesOf(TMenuItem* Item) {
  TMenu* menu = Item->GetParentMenu();
  return menu ? dynamic_cast<TCustomImageList*>(menu->Images) : nullptr;
}

// The list that holds the item's image, when its index lies inside that list.
TCustomImageList* ListWithImageOf(TMenuItem* Item) {
  TCustomImageList* list = SubMenuImagesOf(Item);
  if (!list) list = MenuImagesOf(Item);
  return Item->ImageIndex >= 0 && Item->ImageIndex < ImageListCount(list) ? list : nullptr;
}

int ConstSection(TsSkinManager* M, const wchar_t* Name) {
  for (int i = 0; i < acSectionCount; ++i)
    if (std::wcscmp(SectionNames[i], Name) == 0) return M->SkinCommonInfo.Sections[i];
  return M->GetSkinIndex(Name);
}
}  // namespace

TMenuItem* MenuItemOfRequest(LPARAM Value) { return LiveMenuItem(Value); }

void ClearMenuInfos() { MenuInfoList.clear(); }

void SkinMenusCleanup() {
  ClearMenuInfos();
  CustomMenuFont.reset();
  ExtraLineSection.clear();
  ExtraLineCaption.clear();
  ExtraLineGlyph.reset();
}

bool MaxedMDIChildWithIcon() {
  TsSkinProvider* p = MDISkinProvider;
  if (!p || !p->Form || p->Form->FormKind() != fkMDIForm) return false;
  TForm* child = p->Form->ActiveMDIChild();
  return child && child->HandleAllocated() && IsZoomed(child->Handle()) && (child->BorderIcons() & biSystemMenu) &&
         child->Icon();
}

// ---------------------------------------------------------------------------
// TacMenuSupport
// ---------------------------------------------------------------------------

TacMenuSupport::TacMenuSupport() : FFont(std::make_unique<TFont>()), FExtraLineFont(std::make_unique<TFont>()) {
  FFont->Height = -MulDiv(8, 96, 72);  // 8 points at 96 pixels per inch
}

TacMenuSupport::~TacMenuSupport() {
  if (FCustomFont) CustomMenuFont.reset();
}

void TacMenuSupport::WriteFont(const TFont& Value) {
  FFont->Assign(Value);
  if (!CustomMenuFont) CustomMenuFont = std::make_unique<TFont>();
  CustomMenuFont->Assign(*FFont);
}

void TacMenuSupport::WriteCustomFont(bool Value) {
  FCustomFont = Value;
  std::wstring face;
  bool substitute = false;
  if (TsSkinManager* m = DefaultManager()) {
    if (m->Fonts.MainMode == fmFromSkin) {
      face = m->SkinCommonInfo.MainFont;
      substitute = true;
    } else if (m->Fonts.MainMode == fmCustom) {
      face = m->Fonts.MainFont;
      substitute = true;
    }
  }
  if (Value || substitute) {
    if (!CustomMenuFont) CustomMenuFont = std::make_unique<TFont>();
    CustomMenuFont->Assign(*FFont);
    if (!face.empty()) CustomMenuFont->Name = face;
  } else {
    CustomMenuFont.reset();
  }
}

// ---------------------------------------------------------------------------
// TsSkinableMenus: hooking
// ---------------------------------------------------------------------------

TsSkinableMenus::TsSkinableMenus(TsSkinManager* AOwner)
    : FOwner(AOwner), FCaptionFont(std::make_unique<TFont>()) {
  EnsureFreeHook();
}

TsSkinableMenus::~TsSkinableMenus() { FOwner = nullptr; }

int TsSkinableMenus::BorderWidth() const { return sd ? sd->ScaleIntValue(FBorderWidth) : FBorderWidth; }
int TsSkinableMenus::Spacing() const { return sd ? sd->ScaleIntValue(FSpacing) : FSpacing; }
int TsSkinableMenus::Margin() const {
  return sd && FOwner && FOwner->IsActive() ? sd->ScaleIntValue(FMargin) : FMargin;
}

TFont& TsSkinableMenus::CaptionFont() { return CustomMenuFont ? *CustomMenuFont : Screen().MenuFont(); }

void TsSkinableMenus::SetActive(bool Value) {
  if (Value != FActive) InitItems(Value);
}

void TsSkinableMenus::UpdateMenus() { SetActive(FOwner && FOwner->IsActive()); }

void TsSkinableMenus::InitItems(bool A) {
  FActive = A;
  if (!FOwner || FOwner->Designing()) return;
  const bool popups = FOwner->SkinnedPopups();
  std::function<void(TComponent*)> walk = [&](TComponent* owner) {
    for (TComponent* c : std::vector<TComponent*>(owner->Components())) {
      if (auto* main = dynamic_cast<TMainMenu*>(c)) {
        InitMenuLine(main, A);
        for (TMenuItem* top : main->Items()->Items()) HookItem(top, A && popups);
      } else if (auto* popup = dynamic_cast<TPopupMenu*>(c)) {
        HookPopupMenu(popup, A && popups);
      } else if (auto* item = dynamic_cast<TMenuItem*>(c)) {
        TMenu* menu = item->GetParentMenu();
        if (!dynamic_cast<TMainMenu*>(menu) && item->Parent()) HookItem(item, A && popups);
      }
      walk(c);
    }
  };
  walk(&Application());
}

void TsSkinableMenus::SetPopupHandlers(TMenuItem* Item, bool On) {
  if (On) {
    if (!Item->OnAdvancedDrawItem)
      Item->OnAdvancedDrawItem.Set(
          [this](TMenuItem* s, TCanvas* c, const TRect& r, TOwnerDrawState st) { sAdvancedDrawItem(s, c, r, st); },
          this);
    if (!Item->OnMeasureItem)
      Item->OnMeasureItem.Set([this](TMenuItem* s, TCanvas* c, int& w, int& h) { sMeasureItem(s, c, w, h); }, this);
  } else {
    if (Item->OnAdvancedDrawItem.Installer == this) Item->OnAdvancedDrawItem.Clear();
    if (Item->OnMeasureItem.Installer == this) Item->OnMeasureItem.Clear();
  }
}

void TsSkinableMenus::SetLineHandlers(TMenuItem* Item, bool On) {
  if (On) {
    Item->OnAdvancedDrawItem.Set(
        [this](TMenuItem* s, TCanvas* c, const TRect& r, TOwnerDrawState st) { sAdvancedDrawLineItem(s, c, r, st); },
        this);
    Item->OnMeasureItem.Set([this](TMenuItem* s, TCanvas* c, int& w, int& h) { sMeasureLineItem(s, c, w, h); },
                            this);
  } else {
    SetPopupHandlers(Item, false);
  }
}

void TsSkinableMenus::HookItem(TMenuItem* MI, bool AActive) {
  for (TMenuItem* item : MI->Items()) {
    if (!IsTopLine(item)) SetPopupHandlers(item, AActive);
    HookItem(item, AActive);
  }
}

void TsSkinableMenus::InitItem(TMenuItem* Item, bool A) {
  if (!Item) return;
  if (!A)
    SetPopupHandlers(Item, false);
  else if (IsTopLine(Item))
    SetLineHandlers(Item, true);
  else if (FOwner && FOwner->SkinnedPopups())
    SetPopupHandlers(Item, true);
}

void TsSkinableMenus::InitMenuLine(TMainMenu* Menu, bool A) {
  if (!Menu || Menu->Destroying()) return;
  if (A) {
    if (FOwner && FOwner->IsActive()) {
      if (!FOwner->SkinnedPopups()) return;
      for (TMenuItem* top : Menu->Items()->Items()) SetLineHandlers(top, true);
    }
  } else {
    for (TMenuItem* top : Menu->Items()->Items()) SetLineHandlers(top, false);
  }
  if (Menu->Items()->Count() > 0) Menu->SetOwnerDraw(A);
}

void TsSkinableMenus::HookPopupMenu(TPopupMenu* Menu, bool Active) {
  if (!Menu) return;
  const bool on = Active && FOwner && FOwner->SkinnedPopups();
  Menu->SetOwnerDraw(on);
  if (Active)
    Menu->MenuAnimation |= maNone;
  else
    Menu->MenuAnimation &= ~static_cast<unsigned>(maNone);
  std::function<void(TMenuItem*)> walk = [&](TMenuItem* parent) {
    for (TMenuItem* item : parent->Items()) {
      SetPopupHandlers(item, on);
      walk(item);
    }
  };
  walk(Menu->Items());
}

bool TsSkinableMenus::IsTopLine(TMenuItem* Item) const {
  if (!Item) return false;
  TMenu* menu = Item->GetParentMenu();
  return dynamic_cast<TMainMenu*>(menu) && Item->Parent() == menu->Items();
}

bool TsSkinableMenus::IsPopupItem(TMenuItem* Item) const {
  return Item && dynamic_cast<TPopupMenu*>(Item->GetParentMenu());
}

int TsSkinableMenus::SectionIndex(const wchar_t* Name) const {
  return FOwner && FOwner->IsActive() ? ConstSection(FOwner, Name) : -1;
}

bool TsSkinableMenus::NoBorder() const {
  const int s = SectionIndex(L"MAINMENU");
  if (s < 0) return true;
  return FOwner->gd()[static_cast<std::size_t>(s)].BorderIndex < 0;
}

// ---------------------------------------------------------------------------
// Sizes
// ---------------------------------------------------------------------------

TsMenuItemType TsSkinableMenus::ItemTypeOf(TMenuItem* Item) {
  const std::wstring c = Item->DisplayCaption();
  if (c == L"-") return smDivider;
  if (c.size() >= 2 && c.front() == L'-' && c.back() == L'-') return smCaption;
  return smNormal;
}

void TsSkinableMenus::RefreshSkinData(TMenuItem* Item, bool Force) {
  if (!FOwner) return;
  if (!Force && sd && !(Item && FirstItemOf(Item) == Item)) return;
  TMenu* menu = Item ? Item->GetParentMenu() : nullptr;
  Form = OwnerFormOf(menu);
  sd = FOwner->CommonSkinData(Form ? ControlPPI(Form) : 96);
  PPI = sd ? sd->PPI : 96;
}

TSize TsSkinableMenus::GlyphSize(TMenuItem* Item, bool Top) {
  TSize size{0, 0};
  if (!Item) return size;
  if (Item->HasBitmap()) {
    size.cx = Item->Bitmap()->Width();
    size.cy = Item->Bitmap()->Height();
    return size;
  }
  if (Top) return size;
  // A submenu's list sets the column's width only: its items' heights stay the text's.
  if (TCustomImageList* sub = SubMenuImagesOf(Item)) {
    size.cx = ScaledImageWidth(sub, -1, PPI);
    return size;
  }
  if (TCustomImageList* images = MenuImagesOf(Item)) {
    size.cx = ScaledImageWidth(images, Item->ImageIndex, PPI);
    size.cy = ScaledImageHeight(images, Item->ImageIndex, PPI);
    return size;
  }
  size.cx = size.cy = DefaultGlyphSize * PPI / 96;
  return size;
}

int TsSkinableMenus::ExtraWidth(const TacMenuInfo* mi) const {
  if (!mi || !FOwner || !FOwner->MenuSupport.UseExtraLine || !mi->HaveExtraLine) return 0;
  return FOwner->MenuSupport.ExtraLineWidth * PPI / 96;
}

void TsSkinableMenus::InitMenuFont(TCanvas* Canvas, TMenuItem* Item, bool Caption, bool Bold) {
  if (CustomMenuFont)
    Canvas->Font.Assign(*CustomMenuFont);
  else if (Caption)
    Canvas->Font.Assign(CaptionFont());
  else {
    Canvas->Font.Assign(Screen().MenuFont());
    Canvas->Font.Height = -MulDiv(9, 96, 72);
  }
  TForm* form = OwnerFormOf(Item ? Item->GetParentMenu() : nullptr);
  if (!form) form = Application().MainForm();
  if (form) Canvas->Font.Charset = form->Font.Charset.Get();
  Canvas->Font.Height = Canvas->Font.Height.Get() * TargetPPI(FOwner, form) / 96;
  if (Bold) Canvas->Font.Style = Canvas->Font.Style | fsBold;
}

int TsSkinableMenus::ItemHeight(TCanvas* Canvas, TMenuItem* Item) {
  const TsMenuItemType type = ItemTypeOf(Item);
  if (type == smDivider) return 2;
  InitMenuFont(Canvas, Item, false, Item->Default);
  TRect r = Rect(0, 0, 800, 0);
  DrawTextLimited(Canvas->FontHandle(), ItemText(Item, type != smCaption), r, 0x550);
  if (type == smCaption) return r.Height() + 2 * Margin() + 3;
  return std::max<int>(r.Height(), GlyphSize(Item, false).cy) + 2 * Margin() + 2;
}

TSize TsSkinableMenus::MenuSizeOf(TCanvas* Canvas, TMenuItem* Item) {
  TSize size{0, 0};
  TMenuItem* parent = Item ? Item->Parent() : nullptr;
  if (!parent) return size;
  int column = 0, sum = 0, columnHeight = 0;
  for (TMenuItem* child : parent->Items()) {
    if (!child->Visible) continue;
    if (child->Break != mbNone && child != (*parent)[0]) {
      sum += column + 4;
      column = 0;
      size.cy = std::max<int>(size.cy, columnHeight);
      columnHeight = 0;
    }
    int w = 0, h = 0;
    sMeasureItem(child, Canvas, w, h);
    column = std::max(column, w + 12);
    columnHeight += ItemHeight(Canvas, child);
  }
  size.cx = column + sum;
  size.cy = std::max<int>(size.cy, columnHeight);
  return size;
}

void TsSkinableMenus::MakeExtraLineDecision(TacMenuInfo* mi, TMenuItem* First) {
  if (!FOwner || FOwner->Designing()) return;
  if (First && First->Name == L"SkinSelectItem") {
    mi->HaveExtraLine = false;
    return;
  }
  ExtraLineGlyph.reset();
  mi->HaveExtraLine = true;
  if (FOwner->OnGetPopupLineData) {
    ExtraLineSection = L"EXTRALINE";
    ExtraLineCaption = L"Use OnGetExtraLineData event";
    FOwner->OnGetPopupLineData(First, ExtraLineSection, ExtraLineCaption, ExtraLineGlyph, mi->HaveExtraLine);
    ExtraLineCaption = StripAmpersands(ExtraLineCaption);
  }
  if (!mi->HaveExtraLine) ExtraLineGlyph.reset();
}

void TsSkinableMenus::sMeasureItem(TMenuItem* Sender, TCanvas* ACanvas, int& Width, int& Height) {
  if (!Sender || Sender->Destroying()) return;
  SkinnedMenuActive = true;
  RefreshSkinData(Sender, false);
  TacMenuInfo* mi = GetMenuInfo(Sender, 0, nullptr, nullptr, 0);
  it = ItemTypeOf(Sender);
  if (mi && !mi->FirstItem) {
    mi->FirstItem = FirstItemOf(Sender);
    if (!ExtraLineQuery) {
      ExtraLineQuery = true;
      try {
        MakeExtraLineDecision(mi, mi->FirstItem);
      } catch (...) {
        ExtraLineQuery = false;
        throw;
      }
      ExtraLineQuery = false;
    }
  }
  InitMenuFont(ACanvas, Sender, false, Sender->Default);
  std::wstring text;
  TRect r;
  if (it == smCaption) {
    text = Sender->DisplayCaption();
    r = Rect(0, 0, ACanvas->TextWidth(text), 0);
  } else if (it == smNormal) {
    text = ItemText(Sender, true);
    r = Rect(0, 0, 800, 0);
  }
  if (FOwner && FOwner->OnGetPopupItemData) {
    TacMenuItemData data{&ACanvas->Font};
    FOwner->OnGetPopupItemData(Sender, 0, data);
    ACanvas->FontHandle();
  }
  if (!text.empty()) DrawTextLimited(ACanvas->FontHandle(), text, r, 0x550);
  const int glyph = GlyphSize(Sender, false).cx;
  if (!text.empty()) {
    Width = 2 * glyph + r.Width() + 3 * Margin() + Spacing();
    if (NoBorder()) Width -= 2 * BorderWidth();
  } else {
    Width = 2 * glyph + 3 * Margin() + Spacing();
  }
  if (mi && mi->HaveExtraLine) {
    bool firstColumn = true;
    if (TMenuItem* parent = Sender->Parent())
      for (TMenuItem* sibling : parent->Items()) {
        if (sibling == Sender) break;
        if (sibling->Break != mbNone) firstColumn = false;
      }
    if (firstColumn || FirstItemOf(Sender) == Sender) Width += ExtraWidth(mi);
  }
  Height = ItemHeight(ACanvas, Sender);
  for (TMenuItem* sub : Sender->Items()) sub->MenuChanged(true);
}

// ---------------------------------------------------------------------------
// The menu background
// ---------------------------------------------------------------------------

TacMenuInfo* TsSkinableMenus::GetMenuInfo(TMenuItem* Item, int, HWND Wnd, TCanvas* Canvas, int) {
  if (!Item) {
    if (!Wnd) return nullptr;
    for (auto& mi : MenuInfoList)
      if (mi->Wnd == Wnd) return mi.get();
    return nullptr;
  }
  TMenuItem* key = FirstItemOf(Item);
  TacMenuInfo* mi = nullptr;
  for (auto& entry : MenuInfoList)
    if (entry->FirstItem == key) {
      mi = entry.get();
      break;
    }
  if (!mi) {
    MenuInfoList.push_back(std::make_unique<TacMenuInfo>());
    mi = MenuInfoList.back().get();
  }
  // A background made for another window of the menu (an earlier opening whose window
  // handler did not clear it) is made again for this one, with its frame and region.
  if (mi->Bmp && Wnd && mi->Wnd && mi->Wnd != Wnd && Canvas) mi->Bmp.reset();
  if (mi->Bmp || !Canvas) return mi;
  int w = 0, h = 0;
  if (!Wnd) {
    RECT clip{};
    const bool hasClip = GetClipBox(Canvas->Handle(), &clip) != NULLREGION && clip.right > clip.left;
    TSize size = MenuSizeOf(Canvas, Item);
    if (hasClip) size.cx = clip.right - clip.left;
    w = size.cx + 2 * BorderWidth();
    h = size.cy + 2 * BorderWidth();
  } else {
    RECT wr{};
    if (GetWindowRect(Wnd, &wr)) {
      w = std::max<int>(0, wr.right - wr.left);
      h = std::max<int>(0, wr.bottom - wr.top);
    }
  }
  PrepareMenuBG(mi, key, Wnd, h, w);
  return mi;
}

void TsSkinableMenus::PrepareMenuBG(TacMenuInfo* mi, TMenuItem* Item, HWND Wnd, int Height, int Width) {
  if (!mi || !FOwner) return;
  RefreshSkinData(Item, true);
  TMenuItem* first = FirstItemOf(Item);
  MakeExtraLineDecision(mi, first);
  mi->FirstItem = first;
  mi->Wnd = Wnd;
  mi->Bmp = NewBitmap32(std::max(Width, 0), std::max(Height, 0));
  mi->ItemsIterated = false;
  TBitmap* bmp = mi->Bmp.get();
  mi->GlyphColumnWidth = GlyphSize(Item, false).cx + Margin() + Spacing();
  GlyphColumnWidth = mi->GlyphColumnWidth;
  ArOR.clear();
  const int mainMenu = SectionIndex(L"MAINMENU");
  if (mainMenu < 0 || bmp->Empty() || !sd) {
    if (Wnd) DrawWndBorder(Wnd, bmp);
    return;
  }
  const TsGeneralData& section = sd->gd[static_cast<std::size_t>(mainMenu)];
  int B = SkinBorderWidth;
  if (B < 0) {
    if (section.BorderIndex < 0)
      B = 0;
    else {
      B = std::min<int>(sd->ma[static_cast<std::size_t>(section.BorderIndex)].WL, 3);
      if (B < 1) B = 3;
    }
    SkinBorderWidth = B;
  }
  const TRect all = Rect(0, 0, Width, Height);
  PaintSectionBackground(mainMenu, EmptyCacheInfo, 0, all, TPoint{0, 0}, bmp, sd, -1, -1, 0xFF00FF);
  TacMenuSupport& support = FOwner->MenuSupport;
  const int icoLine = FOwner->GetSkinIndex(support.IcoLineSkin);
  const int extra = ExtraWidth(mi);
  if (icoLine >= 0) {
    const TRect r = Bounds(extra + B, B, mi->GlyphColumnWidth, Height - 2 * B);
    if (!r.IsEmpty()) PaintSkinSection(icoLine, MakeCacheInfo(bmp, 0, 0), 0, r, TPoint{r.Left, r.Top}, bmp, sd);
  }
  if (section.BorderIndex >= 0)
    PaintMaskNineSlice(bmp, all, EmptyCacheInfo, sd->ma[static_cast<std::size_t>(section.BorderIndex)], 0, false);
  const bool lineShown = support.UseExtraLine && mi->HaveExtraLine;
  const TRect lineRect = Bounds(B, B, support.ExtraLineWidth * PPI / 96, Height - 2 * B);
  const int lineSection = lineShown ? FOwner->GetSkinIndex(ExtraLineSection) : -1;
  if (lineSection >= 0 && !lineRect.IsEmpty())
    PaintSkinSection(lineSection, MakeCacheInfo(bmp, 0, 0), 0, lineRect, TPoint{lineRect.Left, lineRect.Top}, bmp,
                     sd);
  TMenu* menu = first ? first->GetParentMenu() : nullptr;
  const bool rtl = menu && menu->IsRightToLeft();
  if (rtl) MirrorBitmap(bmp);
  if (lineShown) {
    int baseline = 12;
    if (ExtraLineGlyph && !ExtraLineGlyph->Empty()) {
      TBitmap* g = ExtraLineGlyph.get();
      baseline += g->Height() + 8;
      int left = (extra - g->Width()) / 2 + B;
      const int top = lineRect.Height() - sd->Spacing - g->Height();
      if (rtl) left = Width - left - g->Width();
      const TRect dst = Bounds(left, top, g->Width(), g->Height());
      if (g->PixelFormat() == pf32bit)
        DrawImageAlpha(dst, Rect(0, 0, g->Width(), g->Height()), bmp, g, EmptyCacheInfo, false, clNone, 0, false);
      else
        BitBlt(bmp->Canvas().Handle(), left, top, g->Width(), g->Height(), g->Canvas().Handle(), 0, 0, SRCCOPY);
    }
    ExtraLineGlyph.reset();
    if (!ExtraLineCaption.empty()) {
      TFont& f = support.ExtraLineFont();
      LOGFONTW lf{};
      lf.lfHeight = f.Height.Get() * PPI / 96;
      lf.lfEscapement = lf.lfOrientation = -2700;
      lf.lfWeight = (f.Style.Get() & fsBold) ? 700 : 400;
      lf.lfItalic = (f.Style.Get() & fsItalic) != 0;
      lf.lfUnderline = (f.Style.Get() & fsUnderline) != 0;
      lf.lfStrikeOut = (f.Style.Get() & fsStrikeOut) != 0;
      lf.lfCharSet = f.Charset.Get();
      lf.lfQuality = 4;
      lstrcpynW(lf.lfFaceName, f.Name.Get().c_str(), LF_FACESIZE);
      // Made and freed here: one font per background, none left behind.
      HFONT font = CreateFontIndirectW(&lf);
      HDC dc = bmp->Canvas().Handle();
      HGDIOBJ old = SelectObject(dc, font);
      const int textHeight = std::abs(lf.lfHeight);
      TColor color = 0;
      if (lineSection >= 0) color = sd->gd[static_cast<std::size_t>(lineSection)].StateProps(0).FontColor.Color;
      SetTextColor(dc, ColorToRGB(color));
      SetBkMode(dc, TRANSPARENT);
      TRect clip = lineRect;
      clip.Left += B;
      clip.Right += B;
      if (rtl) clip = MirrorRect(clip, Width);
      const int x = clip.Left + (clip.Width() - textHeight) / 2 + textHeight;
      ExtTextOutW(dc, x, Height - baseline, ETO_CLIPPED, clip.AsRECT(), ExtraLineCaption.c_str(),
                  static_cast<UINT>(ExtraLineCaption.size()), nullptr);
      SelectObject(dc, old);
      DeleteObject(font);
    }
  }
  const int frame = FOwner->GetMaskIndex(mainMenu, L"MAINMENU", L"BORDERSMASK", sd);
  if (frame >= 0) {
    const TsMaskData& mask = sd->ma[static_cast<std::size_t>(frame)];
    CollectMaskCornerHoles(ArOR, Width, mask, 0, false, 0);
    CollectMaskCornerHoles(ArOR, Width, mask, Height - mask.WB, true, 0);
  }
  if (Wnd) DrawWndBorder(Wnd, bmp);
}

void TsSkinableMenus::DrawWndBorder(HWND Wnd, TBitmap* MenuBmp) {
  if (BorderDrawing || !MenuBmp || MenuBmp->Empty() || !Wnd) return;
  if (SendSkinCommand(Wnd, SKCMD_SET_UPDATING, 0) != 0) return;
  SendSkinCommand(Wnd, SKCMD_BORDER_DRAWN, 0);
  BorderDrawing = true;
  try {
    HRGN region = CreateRectRgn(0, 0, MenuBmp->Width(), MenuBmp->Height());
    auto cut = [&](const RECT& r) {
      HRGN hole = CreateRectRgn(r.left, r.top, r.right, r.bottom);
      CombineRgn(region, region, hole, RGN_DIFF);
      DeleteObject(hole);
    };
    if (ArOR.empty())
      cut(RECT{0, 0, 1, 1});
    else
      for (const RECT& r : ArOR) cut(r);
    // The window owns the region from here on.
    if (!SetWindowRgn(Wnd, region, TRUE)) DeleteObject(region);
    HDC dc = GetWindowDC(Wnd);
    if (dc) {
      BlitBorderStrips(dc, 0, 0, MenuBmp->Width(), MenuBmp->Height(), MenuBmp->Canvas().Handle(), 0, 0, 3);
      ReleaseDC(Wnd, dc);
    }
  } catch (...) {
    BorderDrawing = false;
    throw;
  }
  BorderDrawing = false;
}

// ---------------------------------------------------------------------------
// Drawing popup items
// ---------------------------------------------------------------------------

void TsSkinableMenus::sAdvancedDrawItem(TMenuItem* Sender, TCanvas* ACanvas, const TRect& ARect,
                                        TOwnerDrawState State) {
  if (!FOwner || !FOwner->IsActive() || !Sender) return;
  struct TOwnDraw {
    TMenuItem* item;
    TCanvas* canvas;
    const TRect& r;
    TOwnerDrawState state;
    ~TOwnDraw() {
      // The item's own (plain) draw handler runs also when skinned drawing failed.
      if (item->OnDrawItem) {
        try {
          item->OnDrawItem(item, canvas, r, (state & odSelected) != 0);
        } catch (...) {
        }
      }
    }
  } own{Sender, ACanvas, ARect, State};
  RECT clip{};
  GetClipBox(ACanvas->Handle(), &clip);
  RefreshSkinData(Sender, false);
  TRect R = ARect;
  if (NoBorder()) {
    if (clip.right - R.Right < 10) R.Right = clip.right;
    if (clip.bottom - R.Bottom < 10) R.Bottom = clip.bottom;
  }
  HWND wnd = WindowFromDC(ACanvas->Handle());
  TacMenuInfo* mi = GetMenuInfo(Sender, R.Width(), wnd, ACanvas, R.Height());
  TBitmap* BG = mi ? mi->Bmp.get() : nullptr;
  if (!wnd) {
    HWND app = Application().Handle();
    MSG pending;
    if (app && !PeekMessageW(&pending, app, 0xBCB3, 0xBCB4, PM_NOREMOVE))
      PostMessageW(app, 0xBCB3, 0, reinterpret_cast<LPARAM>(Sender));
  }
  it = ItemTypeOf(Sender);
  if (it == smDivider) {
    DrawDividerItem(ACanvas, R, mi, BG, Sender);
    return;
  }
  if (it == smCaption) {
    DrawCaptionItem(ACanvas, R, mi, BG, Sender);
    return;
  }
  it = smNormal;
  if (!BG || BG->Empty() || !sd) return;
  const int S = FOwner->IsActive() ? sd->MenuItem.SkinIndex : -1;
  const int RBW = RealBorderWidth(), F = 2 * RBW;
  TMenu* menu = Sender->GetParentMenu();
  const bool rtl = menu && menu->IsRightToLeft();
  const int extra = ExtraWidth(mi);
  const int columnWidth = mi->GlyphColumnWidth;

  // Columns: bar-break lines once per menu, and the background below a column's last item.
  TMenuItem* parent = Sender->Parent();
  const int index = Sender->MenuIndex();
  const bool last = !parent || index == parent->Count() - 1;
  if (!last) {
    if (!mi->ItemsIterated && Sender->Break == mbBarBreak) {
      TColor lineColor = S >= 0 ? sd->gd[static_cast<std::size_t>(S)].StateProps(0).FontColor.Color : 0x808080;
      TCanvas& c = BG->Canvas();
      c.Pen.Color = lineColor;
      c.MoveTo(R.Left, 0);
      c.LineTo(R.Left, BG->Height());
    }
    if ((*parent)[index + 1]->Break != mbNone && R.Bottom < BG->Height() - F)
      BitBlt(ACanvas->Handle(), R.Left, R.Bottom, R.Width(), BG->Height() - F - R.Bottom, BG->Canvas().Handle(),
             R.Left + RBW, R.Bottom + RBW, SRCCOPY);
  } else {
    if (R.Bottom < BG->Height() - F)
      BitBlt(ACanvas->Handle(), R.Left, R.Bottom, R.Width(), BG->Height() - F - R.Bottom, BG->Canvas().Handle(),
             R.Left + RBW, R.Bottom + RBW, SRCCOPY);
    mi->ItemsIterated = true;
  }

  auto itemBmp = NewBitmap32(R.Width(), R.Height());
  if (itemBmp->Empty()) return;
  TRect draw = Rect(0, 0, R.Width(), R.Height());
  if (extra > 0) {
    if (!rtl && R.Left <= RBW) draw.Left += extra;
    if (rtl && BG->Width() - R.Right <= F) draw.Right -= extra;
  }
  CopyPixels(itemBmp.get(), 0, 0, BG, R.Left + RBW, R.Top + RBW, R.Width(), R.Height());
  const bool selected = (State & odSelected) != 0;
  const bool enabled = Sender->DisplayEnabled();
  const int state = enabled && selected ? 1 : 0;
  const TCacheInfo behind = MakeCacheInfo(BG, R.Left + RBW, R.Top + RBW);
  if (S >= 0) {
    const TsGeneralData& g = sd->gd[static_cast<std::size_t>(S)];
    if ((enabled && selected) || g.StateProps(0).Transparency < 100)
      PaintSkinSection(S, behind, state, draw, TPoint{draw.Left, draw.Top}, itemBmp.get(), sd);
    itemBmp->Canvas().Font.Color = g.StateProps(state).FontColor.Color;
  }

  // Check marks of items without a glyph.
  TCustomImageList* images = Sender->HasBitmap() ? nullptr : ListWithImageOf(Sender);
  const bool hasGlyph = Sender->HasBitmap() || images;
  if ((State & odChecked) && !hasGlyph) {
    const int global = FOwner->SkinCommonInfo.IndexGlobalInfo;
    int mask = -1, standard = sgTick;
    if (Sender->RadioItem) {
      if (FOwner->ButtonsOptions.OldGlyphsMode()) mask = sd->GetMaskIndex(global, L"RADIOCHECKED");
      standard = sgRadioDot;
    } else {
      mask = sd->GetMaskIndex(global, L"CHECK");
    }
    if (mask >= 0) {
      const TsMaskData& m = sd->ma[static_cast<std::size_t>(mask)];
      const TPoint size = sd->MaskImageSize(m);
      int left = draw.Left + std::max(0, (columnWidth - size.X) / 2);
      if (rtl) left = itemBmp->Width() - left - size.X;
      DrawMaskStateImage(itemBmp.get(), TPoint{left, (itemBmp->Height() - size.Y) / 2}, state, 1, m,
                         MakeCacheInfo(itemBmp.get(), 0, 0));
    } else {
      DrawStdMenuGlyph(itemBmp.get(), standard, draw.Left, columnWidth, rtl);
    }
  }
  // The item's own glyph: its bitmap, or its image in the menu's list.
  const TSize glyph = GlyphSize(Sender, false);
  if (hasGlyph) {
    const TSize size = images ? TSize{ScaledImageWidth(images, Sender->ImageIndex, PPI),
                                      ScaledImageHeight(images, Sender->ImageIndex, PPI)}
                              : TSize{Sender->Bitmap()->Width(), Sender->Bitmap()->Height()};
    int left = (columnWidth - size.cx) / 2 + draw.Left;
    if (rtl) left = itemBmp->Width() - left - size.cx;
    const TRect gr = Bounds(left, (itemBmp->Height() - size.cy) / 2, size.cx, size.cy);
    const int small = FOwner->GetSkinIndex(L"SPEEDBUTTON_SMALL");
    if ((State & odChecked) && small >= 0) {
      const TRect frame = Rect(gr.Left - 1, gr.Top - 1, gr.Right + 1, gr.Bottom + 1);
      PaintSkinSection(small, MakeCacheInfo(itemBmp.get(), 0, 0), 2, frame, TPoint{frame.Left, frame.Top},
                       itemBmp.get(), sd);
    }
    TacGlyphDrawInfo info;
    info.Blend = 0;
    info.SkinIndex = S;
    info.NumGlyphs = 1;
    info.Images = images;
    info.Glyph = images ? nullptr : Sender->Bitmap();
    info.ImageIndex = Sender->ImageIndex;
    info.CurrentState = state;
    info.Down = false;
    info.Grayed = !selected && FOwner->Effects.DiscoloredGlyphs;
    info.Enabled = enabled;
    info.Reflected = false;
    info.DstBmp = itemBmp.get();
    info.DstCanvas = &itemBmp->Canvas();
    info.DstRect = gr;
    info.BlendColor = S >= 0 ? sd->gd[static_cast<std::size_t>(S)].StateProps(state).Color : clNone;
    info.PPI = PPI;
    info.SkinData = sd;
    info.DisabledKind = 0;
    DrawListGlyph(info);
  } else if (menu && menu->Name.rfind(L"acSysMenu", 0) == 0) {
    // The skinned system menu shows the caption buttons' signs beside its commands.
    int standard = -1;
    switch (Sender->Tag) {
      case SC_MOVE: standard = sgMove; break;
      case SC_MINIMIZE: standard = sgMinimize; break;
      case SC_MAXIMIZE: standard = sgMaximize; break;
      case SC_RESTORE: standard = sgRestore; break;
      case SC_CLOSE: standard = sgClose; break;
      default: break;
    }
    if (standard >= 0) DrawStdMenuGlyph(itemBmp.get(), standard, draw.Left, columnWidth, rtl);
  }

  // Texts.
  TCanvas& canvas = itemBmp->Canvas();
  InitMenuFont(&canvas, Sender, false, (State & odDefault) != 0);
  canvas.Font.Color = S >= 0 ? sd->gd[static_cast<std::size_t>(S)].StateProps(state).FontColor.Color
                             : TColor(clSystemColor | COLOR_MENUTEXT);
  bool ownColor = false;
  if (FOwner->OnGetPopupItemData) {
    const TColor before = canvas.Font.Color;
    TacMenuItemData data{&canvas.Font};
    FOwner->OnGetPopupItemData(Sender, State, data);
    ownColor = canvas.Font.Color.Get() != before;
  }
  TRect text = draw;
  const int indent = glyph.cx + 2 * Margin() + Spacing();
  if (rtl)
    text.Right -= indent;
  else
    text.Left += indent;
  text.Top += Margin();
  text.Bottom -= Margin();
  std::wstring caption = Sender->DisplayCaption(), tail;
  UINT align = Alignment == taRightJustify ? DT_RIGHT : Alignment == taCenter ? DT_CENTER : DT_LEFT;
  const std::size_t tab = caption.find(L'\t');
  if (tab != std::wstring::npos) {
    tail = caption.substr(tab + 1);
    caption.resize(tab);
    align = DT_LEFT;
  } else if (!caption.empty() && caption[0] == L'\b') {
    caption = caption.substr(1) + L"      ";
    align = DT_RIGHT;
  }
  UINT format = (caption.find(L'\r') != std::wstring::npos ? DT_WORDBREAK : DT_SINGLELINE) | 0x144 | align;
  if (rtl) format |= 0x20002;
  if (State & odNoAccel) format |= DT_HIDEPREFIX;
  const int textState = enabled && (selected || (State & odHotLight)) ? 1 : 0;
  const int textSection = ownColor ? -1 : S;
  SetBkMode(canvas.FontHandle(), TRANSPARENT);
  {
    TRect r = text;
    if (textSection >= 0)
      WriteSkinText(&canvas, caption.c_str(), true, r, format, textSection, textState, FOwner);
    else
      DrawTextLimited(canvas.FontHandle(), caption, r, format);
  }
  if (!Sender->ShortCutText.empty()) {
    TRect r = draw;
    if (rtl)
      r.Left += 2 * sd->Spacing;
    else
      r.Right -= 2 * sd->Spacing;
    if (textSection >= 0)
      WriteSkinText(&canvas, Sender->ShortCutText.c_str(), true, r, 0x24 | (rtl ? DT_LEFT : DT_RIGHT), textSection,
                    textState, FOwner);
    else
      DrawTextLimited(canvas.FontHandle(), Sender->ShortCutText, r, 0x24 | (rtl ? DT_LEFT : DT_RIGHT));
  }
  if (!tail.empty()) {
    TRect r = text;
    r.Right -= 8;
    if (textSection >= 0)
      WriteSkinText(&canvas, tail.c_str(), true, r, 0x26, textSection, textState, FOwner);
    else
      DrawTextLimited(canvas.FontHandle(), tail, r, 0x26);
  }
  if (OnDrawItem) OnDrawItem(Sender, &canvas, Rect(0, 0, itemBmp->Width(), itemBmp->Height()), State, it);
  if (!enabled)
    CopyExceptKey(itemBmp.get(), 0, 0, BG,
                  Rect(R.Left + RBW, R.Top + RBW, R.Left + RBW + R.Width() - 1, R.Top + RBW + R.Height() - 1),
                  DisabledBlendWeight, KeyPixel);
  BitBlt(ACanvas->Handle(), R.Left, R.Top, R.Width(), R.Height(), itemBmp->Canvas().Handle(), 0, 0, SRCCOPY);
}

void TsSkinableMenus::DrawStdMenuGlyph(TBitmap* Bmp, int Index, int DrawLeft, int ColumnWidth, bool RightToLeft) {
  TsCharImageList* list = StdGlyphList();
  if (!list || !Bmp) return;
  const int w = ScaledImageWidth(list, Index, PPI), h = ScaledImageHeight(list, Index, PPI);
  int left = (ColumnWidth - w) / 2 + DrawLeft - BorderWidth();
  if (RightToLeft) left = Bmp->Width() - left - w;
  SetImageListPPI(list, PPI);
  // The list paints the canvas's font colour through the glyph: the item's text colour.
  list->Draw(&Bmp->Canvas(), left, (Bmp->Height() - h) / 2, Index, true);
}

void TsSkinableMenus::DrawDividerItem(TCanvas* ACanvas, const TRect& ARect, TacMenuInfo* mi, TBitmap* BG,
                                      TMenuItem* Item) {
  RefreshSkinData(Item, true);
  if (!sd || !FOwner) return;
  const int RBW = RealBorderWidth();
  int part = 0;
  const int icoLine = FOwner->GetSkinIndex(FOwner->MenuSupport.IcoLineSkin);
  if (icoLine >= 0) {
    const TsGeneralData& g = sd->gd[static_cast<std::size_t>(icoLine)];
    if (!(g.StateProps(0).Transparency > 99 && g.BorderIndex < 0))
      part = sd->Spacing + (mi ? mi->GlyphColumnWidth : GlyphColumnWidth);
  }
  part += ExtraWidth(mi);
  TMenu* menu = Item ? Item->GetParentMenu() : nullptr;
  const bool rtl = menu && menu->IsRightToLeft();
  TRect r = Rect(Margin() + part, 0, ARect.Width() - Margin(), ARect.Height());
  if (rtl) r = Rect(Margin(), 0, ARect.Width() - Margin() - part, ARect.Height());
  const int divider = SectionIndex(L"DIVIDERV");
  const int mask = divider >= 0 ? sd->gd[static_cast<std::size_t>(divider)].BorderIndex : -1;
  if (FOwner->IsActive() && mask >= 0) {
    auto bmp = NewBitmap32(ARect.Width(), ARect.Height());
    if (bmp->Empty()) return;
    if (BG) CopyPixels(bmp.get(), 0, 0, BG, ARect.Left + RBW, ARect.Top + RBW, ARect.Width(), ARect.Height());
    if (!r.IsEmpty())
      PaintMaskNineSlice(bmp.get(), r, MakeCacheInfo(bmp.get(), 0, 0), sd->ma[static_cast<std::size_t>(mask)], 0,
                         true);
    BitBlt(ACanvas->Handle(), ARect.Left, ARect.Top, ARect.Width(), ARect.Height(), bmp->Canvas().Handle(), 0, 0,
           SRCCOPY);
    return;
  }
  if (BG)
    BitBlt(ACanvas->Handle(), ARect.Left, ARect.Top, ARect.Width(), ARect.Height(), BG->Canvas().Handle(),
           ARect.Left + RBW, ARect.Top + RBW, SRCCOPY);
  TColor color = FOwner->Palette[pcBorder];
  if (color == TColor(0xFF00FF)) color = clBtnShadow;
  ACanvas->Pen.Color = color;
  ACanvas->Pen.Style = psSolid;
  ACanvas->MoveTo(ARect.Left + r.Left, ARect.Top);
  ACanvas->LineTo(ARect.Left + r.Right, ARect.Top);
}

void TsSkinableMenus::DrawCaptionItem(TCanvas* ACanvas, const TRect& ARect, TacMenuInfo* mi, TBitmap* BG,
                                      TMenuItem* Item) {
  if (!sd || !FOwner) return;
  auto bmp = NewBitmap32(ARect.Width(), ARect.Height());
  if (bmp->Empty()) return;
  const int RBW = RealBorderWidth();
  if (BG) CopyPixels(bmp.get(), 0, 0, BG, ARect.Left + RBW, ARect.Top + RBW, ARect.Width(), ARect.Height());
  TRect draw = Rect(ExtraWidth(mi), 0, ARect.Width(), ARect.Height());
  const int caption = SectionIndex(L"MENUCAPTION");
  if (caption >= 0 && BG && !draw.IsEmpty())
    PaintSkinSection(caption, MakeCacheInfo(BG, ARect.Left + RBW + 1, ARect.Top + RBW + 1), 0, draw,
                     TPoint{draw.Left, draw.Top}, bmp.get(), sd);
  std::wstring text = Item->DisplayCaption();
  text = text.size() >= 2 ? text.substr(1, text.size() - 2) : std::wstring();
  TCanvas& c = bmp->Canvas();
  InitMenuFont(&c, Item, true, false);
  TRect r = draw;
  r.Top += Margin() + 2;
  r.Bottom -= Margin() + 2;
  SetBkMode(c.FontHandle(), TRANSPARENT);
  if (caption >= 0)
    WriteSkinText(&c, text.c_str(), true, r, 0x100015, caption, 0, FOwner);
  else
    DrawTextLimited(c.FontHandle(), text, r, 0x100015);
  BitBlt(ACanvas->Handle(), ARect.Left, ARect.Top, ARect.Width(), ARect.Height(), c.Handle(), 0, 0, SRCCOPY);
}

// ---------------------------------------------------------------------------
// Items of a form's menu line
// ---------------------------------------------------------------------------

void TsSkinableMenus::sMeasureLineItem(TMenuItem* Sender, TCanvas* ACanvas, int& Width, int& Height) {
  if (!Sender) return;
  RefreshSkinData(Sender, true);
  Height = GetSystemMetrics(SM_CYMENU) - 1;
  InitMenuFont(ACanvas, Sender, false, false);
  Width = ACanvas->TextWidth(StripAmpersands(Sender->DisplayCaption()));
  if (Sender->HasBitmap()) Width += Sender->Bitmap()->Width() + 6;
}

void TsSkinableMenus::sAdvancedDrawLineItem(TMenuItem* Sender, TCanvas* ACanvas, const TRect& ARect,
                                            TOwnerDrawState State) {
  it = smTopLine;
  // The line is painted by a form provider into its non-client image, which already holds
  // the line's background under the item.
  TsSkinProvider* provider = MenuProvider ? MenuProvider : MDISkinProvider;
  if (!Sender || !ACanvas || !provider || !FOwner || !FOwner->IsActive() || ARect.Width() <= 0 ||
      ARect.Height() <= 0)
    return;
  RefreshSkinData(Sender, true);
  if (!sd) return;
  auto itemBmp = NewBitmap32(ARect.Width(), ARect.Height());
  if (itemBmp->Empty()) return;
  BitBlt(itemBmp->Canvas().Handle(), 0, 0, ARect.Width(), ARect.Height(), ACanvas->Handle(), ARect.Left, ARect.Top,
         SRCCOPY);
  const bool enabled = Sender->DisplayEnabled();
  const int state = enabled && (State & (odSelected | odHotLight)) ? 1 : 0;
  const TRect all = Rect(0, 0, ARect.Width(), ARect.Height());
  const int item = sd->MenuItem.SkinIndex;
  if (item >= 0) {
    const TsGeneralData& g = sd->gd[static_cast<std::size_t>(item)];
    if (state == 1 || g.StateProps(0).Transparency < 100)
      PaintSkinSection(item, MakeCacheInfo(itemBmp.get(), 0, 0), state, all, TPoint{0, 0}, itemBmp.get(), sd);
  }
  const int line = SectionIndex(L"MENULINE");
  TColor color = line >= 0 ? sd->gd[static_cast<std::size_t>(line)].StateProps(state).FontColor.Color
                           : TColor(GetSysColor(COLOR_MENUTEXT));
  TCanvas& c = itemBmp->Canvas();
  InitMenuFont(&c, Sender, false, false);
  c.Font.Color = color;
  HDC dc = c.FontHandle();
  SetBkMode(dc, TRANSPARENT);
  TMenu* menu = Sender->GetParentMenu();
  const bool rtl = menu && menu->IsRightToLeft();
  UINT format = DT_SINGLELINE | DT_VCENTER | DT_EXPANDTABS | DT_NOCLIP | DT_CENTER | (rtl ? DT_RTLREADING : 0) |
                ((State & odNoAccel) ? DT_HIDEPREFIX : 0);
  RECT text{2, 0, ARect.Width() - 2 * Margin() + 2, ARect.Height()};
  const std::wstring caption = Sender->DisplayCaption();
  DrawTextW(dc, caption.c_str(), -1, &text, format);
  if (OnDrawItem) OnDrawItem(Sender, &c, all, State, smTopLine);
  BitBlt(ACanvas->Handle(), ARect.Left, ARect.Top, ARect.Width(), ARect.Height(), itemBmp->Canvas().Handle(), 0, 0,
         SRCCOPY);
}
