// The Windows part of the hints: pictures of templates and the composition of a template hint,
// the templates, and the hints component (its hint windows: acAlphaHints.Windows.cpp).
#include "skin/controls/acAlphaHints.h"

#include <algorithm>
#include <span>

#include "platform/runtime/Files.h"
#include "platform/runtime/Resources.h"
#include "platform/runtime/Strings.h"
#include "platform/ui/Forms.h"
#include "platform/ui/Graphics.Bmp.h"
#include "skin/graphics/acPixelOps.h"
#include "skin/graphics/sGraphUtils.Blits.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/graphics/acntTypes.h"
#include "skin/graphics/acntUtils.h"
#include "skin/graphics/sVclUtils.h"
#include "skin/manager/sSkinManager.h"

TacHintTemplateData DefaultHintTemplateData() {
  TacHintTemplateData data;
  data.FontSize = 9;
  data.FontName = "Tahoma";
  TacHintImageData& image = data.Images[hiDefault];
  image.BordersWidths = {10, 11, 14, 15};  // top, left, right, bottom
  image.ShadowSizes = {5, 6, 7, 8};
  image.ClientMargins = {8, 11, 16, 15};
  image.PictureKind = acHintPicturePng;
  TResourceStream res(nullptr, L"ACHINT");
  res.SetPosition(0);
  image.Picture = res.ReadToEnd();
  return data;
}

std::unique_ptr<TBitmap> HintPicture(const TacHintImageData& Image) {
  if (Image.Picture.empty()) return nullptr;
  auto bmp = std::make_unique<TBitmap>();
  if (Image.PictureKind == acHintPictureBmp) {
    const TBmpImage img =
        DecodeBmp(std::span(reinterpret_cast<const std::uint8_t*>(Image.Picture.data()), Image.Picture.size()));
    bmp = NewBitmap32(img.Width, img.Height);
    for (int y = 0; y < img.Height; ++y)
      std::copy_n(img.Pixels.data() + static_cast<std::size_t>(y) * img.Width, img.Width,
                  static_cast<std::uint32_t*>(bmp->ScanLine(y)));
    return bmp;
  }
  TMemoryStream png(Image.Picture);
  LoadPngStreamToBitmap(*bmp, png);
  return bmp;
}

std::unique_ptr<TBitmap> ComposeTemplateHint(const TacHintImageData& Image, TBitmap* Picture, int Width, int Height,
                                             const std::function<void(TBitmap* Bmp, const TRect& Client)>& Content) {
  auto bmp = NewBitmap32(std::max(Width, 1), std::max(Height, 1));
  if (Picture && !Picture->Empty()) {
    const int pw = Picture->Width(), ph = Picture->Height();
    // Stored borders may be anything; where they cut the slices they stay inside the picture.
    const TacBordersSizes& b = Image.BordersWidths;
    const TRect margins = Rect(std::min(b.Left(), pw), std::min(b.Top(), ph), std::min(b.Right(), pw),
                               std::min(b.Bottom(), ph));
    const TacBorderDrawModes& m = Image.BorderDrawModes;
    const TRect sides = Rect(m.Left() == dmStretch, m.Top() == dmStretch, m.Right() == dmStretch,
                             m.Bottom() == dmStretch);
    BlitNineSlice(bmp.get(), Picture, Rect(0, 0, Width, Height), Rect(0, 0, pw, ph), margins, margins, sides,
                  m.Center() == dmStretch, true);
  }
  auto slices = NewBitmap32(bmp->Width(), bmp->Height());
  BitBlt(slices->Canvas().Handle(), 0, 0, bmp->Width(), bmp->Height(), bmp->Canvas().Handle(), 0, 0, SRCCOPY);
  const TacBordersSizes& c = Image.ClientMargins;
  if (Content) Content(bmp.get(), Rect(c.Left(), c.Top(), Width - c.Right(), Height - c.Bottom()));
  GdiFlush();
  CopyPixelChannel(bmp.get(), slices.get(), 3);
  PremultiplyBitmap(bmp.get());
  return bmp;
}

// ---------------------------------------------------------------------------
// Templates
// ---------------------------------------------------------------------------

TsAlphaHints* ActiveAlphaHints = nullptr;
TacHintTemplate* CurrentHintTemplate = nullptr;
TacHintImage* CurrentHintImage = nullptr;
TacCustomHintWindow* CurrentHintWindow = nullptr;

namespace {

// Size writers of images and templates run Changed once, not again from inside it.
bool g_changing = false;

std::unique_ptr<TacHintTemplate>& DefaultTemplateSlot() {
  static std::unique_ptr<TacHintTemplate> slot;
  return slot;
}

std::unique_ptr<TBitmap> CopyOf32(TBitmap* Source) {
  if (!Source || Source->Empty()) return nullptr;
  auto copy = NewBitmap32(Source->Width(), Source->Height());
  const bool is32 = Source->PixelFormat() == pf32bit;
  for (int y = 0; y < Source->Height(); ++y) {
    auto* dst = static_cast<std::uint32_t*>(copy->ScanLine(y));
    if (is32) {
      std::copy_n(static_cast<const std::uint32_t*>(Source->ScanLine(y)), Source->Width(), dst);
    } else {
      for (int x = 0; x < Source->Width(); ++x) dst[x] = GetPixel32(Source, x, y) | 0xFF000000u;
    }
  }
  return copy;
}

bool LayeredWindowsAvailable() {
  static const bool available =
      GetProcAddress(GetModuleHandleW(L"user32.dll"), "UpdateLayeredWindow") != nullptr;
  return available;
}

}  // namespace

TacHintTemplate* DefaultHintTemplate() {
  auto& slot = DefaultTemplateSlot();
  if (!slot) {
    slot = std::make_unique<TacHintTemplate>(nullptr);
    slot->LoadData(DefaultHintTemplateData());
    slot->Font.Height = -12;
  }
  return slot.get();
}

std::unique_ptr<TBitmap> CloneBitmap32(TBitmap* Source) { return CopyOf32(Source); }

void TacHintImage::SetOffsetHorz(int Value) {
  FOffsetHorz = Value;
  Changed();
}

void TacHintImage::SetOffsetVert(int Value) {
  FOffsetVert = Value;
  Changed();
}

void TacHintImage::SetImage(TBitmap* Picture) {
  FImage = CopyOf32(Picture);
  FImageData.clear();
  if (FImage) {
    // The picture is cut at its middle until borders of its own are given.
    const int w = (FImage->Width() - 1) / 2, h = (FImage->Height() - 1) / 2;
    BordersWidths.FLeft = BordersWidths.FRight = ClientMargins.FLeft = ClientMargins.FRight = w;
    BordersWidths.FTop = BordersWidths.FBottom = ClientMargins.FTop = ClientMargins.FBottom = h;
  }
  Changed();
}

void TacHintImage::SetImageData(std::string Png) {
  TacHintImageData d;
  d.PictureKind = acHintPicturePng;
  d.Picture = std::move(Png);
  FImage = HintPicture(d);
  FImageData = std::move(d.Picture);
  Changed();
}

void TacHintImage::LoadFromData() {
  if (FImage || FImageData.empty()) return;
  TacHintImageData d;
  d.Picture = FImageData;
  FImage = HintPicture(d);
}

void TacHintImage::Assign(const TacHintImage& Source) {
  FOffsetHorz = Source.FOffsetHorz;
  FOffsetVert = Source.FOffsetVert;
  ShadowSizes = Source.ShadowSizes;
  ClientMargins = Source.ClientMargins;
  BordersWidths = Source.BordersWidths;
  BorderDrawModes = Source.BorderDrawModes;
  FImage = CopyOf32(Source.FImage.get());
  FImageData = Source.FImageData;
  Changed();
}

TacHintImageData TacHintImage::Data() const {
  TacHintImageData d;
  d.BorderDrawModes = BorderDrawModes;
  d.BordersWidths = BordersWidths;
  d.ClientMargins = ClientMargins;
  d.ShadowSizes = ShadowSizes;
  if (!FImageData.empty()) {
    d.PictureKind = acHintPicturePng;
    d.Picture = FImageData;
  } else if (FImage) {
    d.PictureKind = acHintPictureBmp;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(FImage->Width()) * FImage->Height());
    for (int y = 0; y < FImage->Height(); ++y)
      std::copy_n(static_cast<const std::uint32_t*>(FImage->ScanLine(y)), FImage->Width(),
                  pixels.data() + static_cast<std::size_t>(y) * FImage->Width());
    const auto file = EncodeBmp32(FImage->Width(), FImage->Height(), pixels.data());
    d.Picture.assign(reinterpret_cast<const char*>(file.data()), file.size());
  }
  return d;
}

void TacHintImage::LoadData(const TacHintImageData& Data) {
  BorderDrawModes = Data.BorderDrawModes;
  BordersWidths = Data.BordersWidths;
  ClientMargins = Data.ClientMargins;
  ShadowSizes = Data.ShadowSizes;
  FImage = HintPicture(Data);
  if (Data.PictureKind == acHintPictureBmp)
    FImageData.clear();
  else
    FImageData = Data.Picture;
}

void TacHintImage::Changed() {
  if (FOwner) FOwner->Changed();
}

TacHintTemplate::TacHintTemplate(TacHintTemplates* AOwner) : FOwner(AOwner) {
  for (auto& image : FImages) image = std::make_unique<TacHintImage>(this);
  Font.Height = -12;
}

void TacHintTemplate::Assign(const TacHintTemplate& Source) {
  for (std::size_t i = 0; i < FImages.size(); ++i) FImages[i]->Assign(*Source.FImages[i]);
  HintAlign = Source.HintAlign;
  Font.Assign(Source.Font);
  Name = Source.Name;
}

void TacHintTemplate::Changed() {
  if (FOwner && FOwner->Owner()) FOwner->Owner()->Changed();
}

TacHintTemplateData TacHintTemplate::Data() const {
  TacHintTemplateData d;
  d.FontColor = static_cast<std::int32_t>(Font.Color);
  // Points at the screen's density: the height is the character height in pixels.
  const int height = Font.Height;
  d.FontSize = MulDiv(height < 0 ? -height : height, 72, Screen().PixelsPerInch());
  d.FontStyle = static_cast<std::uint8_t>(static_cast<unsigned>(Font.Style) & 0x0F);
  d.FontName = WideToAnsi(static_cast<std::wstring>(Font.Name));
  for (std::size_t i = 0; i < FImages.size(); ++i) d.Images[i] = FImages[i]->Data();
  return d;
}

void TacHintTemplate::LoadData(const TacHintTemplateData& Data) {
  Font.Color = Data.FontColor < 0 ? 0 : Data.FontColor;
  Font.Height = -MulDiv(Data.FontSize, Screen().PixelsPerInch(), 72);
  Font.Style = static_cast<unsigned>(Data.FontStyle & 0x0F);
  if (!Data.FontName.empty()) Font.Name = AnsiToWide(Data.FontName);
  for (std::size_t i = 0; i < FImages.size(); ++i) FImages[i]->LoadData(Data.Images[i]);
}

TacHintTemplate* TacHintTemplates::Add() { return Add(std::make_unique<TacHintTemplate>(this)); }

TacHintTemplate* TacHintTemplates::Add(std::unique_ptr<TacHintTemplate> Item) {
  FItems.push_back(std::move(Item));
  return FItems.back().get();
}

void TacHintTemplates::Assign(const TacHintTemplates& Source) {
  if (&Source == this) return;
  Clear();
  for (const auto& item : Source.FItems) Add()->Assign(*item);
}

// ---------------------------------------------------------------------------
// The hints component
// ---------------------------------------------------------------------------

namespace {

// A control's rectangle on the screen: a windowed control's window, a graphic control's
// place inside its parent's client area.
TRect ControlScreenRect(TControl* Control) {
  if (auto* win = dynamic_cast<TWinControl*>(Control); win && win->HandleAllocated()) {
    RECT r{};
    GetWindowRect(win->Handle(), &r);
    return Rect(r.left, r.top, r.right, r.bottom);
  }
  TRect b = Control->BoundsRect();
  if (TWinControl* parent = Control->Parent(); parent && parent->HandleAllocated()) {
    POINT origin{0, 0};
    ClientToScreen(parent->Handle(), &origin);
    b = Bounds(b.Left + origin.x, b.Top + origin.y, b.Width(), b.Height());
  }
  return b;
}

THintWindow* AlphaHintWindow(TComponent* Owner) { return new TacPngHintWindow(Owner); }

// The hint pause the application had before a run of hints shortened it; -1 while none is saved.
int g_savedHintPause = -1;

}  // namespace

TsAlphaHints::TsAlphaHints(TComponent* AOwner)
    : TComponent(AOwner), FTemplates(std::make_unique<TacHintTemplates>(this)) {}

TsAlphaHints::~TsAlphaHints() {
  FComponentState |= csDestroying;
  if (FAppHandlerInstalled) {
    Application().OnShowHint = nullptr;
    FAppHandlerInstalled = false;
  }
  KillTimer();
  HideAll();
  UpdateActiveState();
  if (ActiveAlphaHints == this) ActiveAlphaHints = nullptr;
  for (TacThreadedTimer** t : {&HideTimer, &CheckTimer})
    if (*t) {
      TComponent::Free(*t);
      *t = nullptr;
    }
  FTemplates.reset();
  FCacheBmp.reset();
  OldAlphaBmp.reset();
}

void TsAlphaHints::AfterConstruction() {
  TComponent::AfterConstruction();
  if (FSkinSection.empty()) FSkinSection = L"HINT";
}

void TsAlphaHints::Loaded() {
  TComponent::Loaded();
  if (FSkinSection.empty()) FSkinSection = L"HINT";
  if (Designing() || Tag == SkipSkinningTag) return;
  Application().HintHidePause = FPauseHide;
  FHintPos = Point(-1, -1);
  Application().OnShowHint = [this](std::wstring& s, bool& can, THintInfo& info) { OnShowHintApp(s, can, info); };
  FAppHandlerInstalled = true;
  UpdateActiveState();
}

void TsAlphaHints::UpdateActiveState() {
  if (Designing() || Tag == SkipSkinningTag) return;
  if (FActive && LayeredWindowsAvailable() && !Destroying()) {
    if (ActiveAlphaHints && ActiveAlphaHints != this) ActiveAlphaHints->FHintLocation = Point(0, 0);
    ActiveAlphaHints = this;
    Application().HintWindowClass = AlphaHintWindow;
  } else if (ActiveAlphaHints == this) {
    ActiveAlphaHints = nullptr;
    Application().HintWindowClass = NewPlainHintWindow;
  }
}

void TsAlphaHints::SetActive(bool Value) {
  FActive = Value;
  if (!Value && !Destroying()) HideAll();
  UpdateActiveState();
}

void TsAlphaHints::SetPauseHide(int Value) {
  if (FPauseHide == Value) return;
  FPauseHide = Value;
  if (!Designing() && Tag != SkipSkinningTag) Application().HintHidePause = Value;
}

void TsAlphaHints::SetTemplateName(const std::wstring& Value) {
  FTemplateName = Value;
  FTemplateIndex = -1;
  for (int i = 0; i < FTemplates->Count(); ++i)
    if (CompareStringOrdinal(FTemplates->Items(i)->Name.c_str(), -1, Value.c_str(), -1, TRUE) == CSTR_EQUAL) {
      FTemplateIndex = i;
      break;
    }
}

void TsAlphaHints::SetAutoAlignment(bool Value) {
  FAutoAlignment = Value;
  FHintLocation = Point(0, 0);
}

void TsAlphaHints::Changed() {
  if (g_changing || (FComponentState & csLoading)) return;
  g_changing = true;
  try {
    if (OnChange) OnChange(this);
  } catch (...) {
    g_changing = false;
    throw;
  }
  g_changing = false;
}

void TsAlphaHints::AssignTo(TsAlphaHints& Dest) {
  if (&Dest == this) return;
  Dest.FTemplates->Assign(*FTemplates);
  Dest.SetTemplateName(FTemplateName);
  Dest.Animated = Animated;
  Dest.SetAutoAlignment(FAutoAlignment);
  Dest.DefaultMousePos = DefaultMousePos;
  Dest.HTMLMode = HTMLMode;
  Dest.SetPauseHide(FPauseHide);
  Dest.FSkinSection = FSkinSection;
  Dest.UseSkinData = UseSkinData;
}

bool TsAlphaHints::Skinned() {
  TsSkinManager* m = DefaultManager();
  return ActiveAlphaHints && m && m->IsActive() && UseSkinData && m->GetSkinIndex(FSkinSection) >= 0;
}

int TsAlphaHints::GetSkinIndex() {
  ShadowCalculated = false;
  if (!UseSkinData || !Skinned()) return -1;
  TsSkinManager* m = DefaultManager();
  const int index = m->GetSkinIndex(FSkinSection);
  ShadowCalculated = m->gd()[static_cast<std::size_t>(index)].OuterMode > 2;
  return index;
}

void TsAlphaHints::ReleaseFrame() {
  if (!HintFrame) return;
  TFrame* frame = HintFrame;
  HintFrame = nullptr;
  frame->RemoveFreeNotification(this);
  frame->SetParent(nullptr);
  TComponent::Free(frame);
}

void TsAlphaHints::SetHintFrame(TFrame* Frame) {
  if (Frame == HintFrame) return;
  ReleaseFrame();
  HintFrame = Frame;
  if (Frame) Frame->FreeNotification(this);
}

void TsAlphaHints::OnShowHintApp(std::wstring& HintStr, bool& CanShow, THintInfo& HintInfo) {
  FHintPos = HintInfo.HintPos;
  if (FAutoAlignment) {
    CurrentHintInfo = HintInfo;
    HintTimeCtrl = HintInfo.HintControl;
    InitTemplate();
    CheckAutoHintPos();
    HintInfo.HintPos = FHintLocation;
  }
  if (OnShowHint) {
    ReleaseFrame();
    TFrame* frame = nullptr;
    OnShowHint(HintStr, CanShow, HintInfo, frame);
    SetHintFrame(frame);
  }
  CurrentHintInfo = HintInfo;
  FHintPos = HintInfo.HintPos;
}

void TsAlphaHints::EnsureHintWindow() {
  if (HintWindow && HintWindow->HandleAllocated() && IsWindow(HintWindow->Handle())) return;
  if (HintWindow) {
    TacPngHintWindow* old = HintWindow;
    HintWindow = nullptr;
    TComponent::Free(old);
  }
  HintWindow = new TacPngHintWindow(this);
  HintWindow->FreeNotification(this);
  HintWindowHandle = HintWindow->Handle();
}

namespace {

// Clears a flag when the scope ends, whatever way it ends.
struct TFlagScope {
  bool& Flag;
  explicit TFlagScope(bool& flag) : Flag(flag) { Flag = true; }
  ~TFlagScope() { Flag = false; }
};

int HintWidthLimit(int MaxWidth) {
  const int limit = MulDiv(MaxWidth, TargetPPI(DefaultManager()), 96);
  return limit < 1 ? GetSystemMetrics(SM_CXSCREEN) : limit;
}

}  // namespace

void TsAlphaHints::CutShowAnimation() {
  if (!ShowTimer) return;
  // The running animation stops where it is: its second window is what shows now, and the
  // next hint fades from the image shown there.
  if (NewWindow) {
    FreeDisplayWindow(AnimWindow);
    AnimWindow = NewWindow;
    NewWindow = nullptr;
  }
  if (HintWindow && HintWindow->AlphaBmp) OldAlphaBmp = CloneBitmap32(HintWindow->AlphaBmp.get());
  KillTimer();
}

void TsAlphaHints::ShowPrepared(const std::wstring& Text, TRect R, int HideTime) {
  HintWindow->ActivateHint(R, Text);
  FHintLocation = Point(0, 0);
  StartHideTimer(HideTime);
}

void TsAlphaHints::ShowHint(TPoint Position, const std::wstring& HintText, int HideTime) {
  if (HintCreating) return;
  TFlagScope creating(HintCreating);
  CutShowAnimation();
  TControl* ctrl = ControlUnderMouse();
  if (ctrl != HintTimeCtrl) HideAll();
  HintTimeCtrl = ctrl;
  EnsureHintWindow();
  FHintLocation = Position;
  const int limit = HintWidthLimit(MaxWidth);
  std::wstring text = HintText;
  TRect r = HintWindow->CalcHintRect(limit, text);
  if (OnShowHint) {
    THintInfo info;
    info.HintPos = FHintLocation;
    info.HintMaxWidth = limit;
    info.HintStr = text;
    info.HideTimeout = HideTime;
    bool canShow = true;
    TFrame* frame = nullptr;
    OnShowHint(text, canShow, info, frame);
    if (!canShow) return;
    if (text != HintText || frame) {
      SetHintFrame(frame);
      r = HintWindow->CalcHintRect(limit, text);
    }
    FHintLocation = info.HintPos;
  }
  ShowPrepared(text, r, HideTime);
}

void TsAlphaHints::ShowHint(TControl* Control, const std::wstring& HintText, int HideTime) {
  if (!Control || HintCreating) return;
  TFlagScope creating(HintCreating);
  CutShowAnimation();
  if (Control != HintTimeCtrl) HideAll();
  HintTimeCtrl = Control;
  EnsureHintWindow();
  const TRect sr = ControlScreenRect(Control);
  FHintLocation = Point(sr.Left + sr.Width() / 2, sr.Top + sr.Height() / 3);
  const int limit = HintWidthLimit(MaxWidth);
  std::wstring text = HintText;
  TRect r = HintWindow->CalcHintRect(limit, text);
  if (OnShowHint) {
    THintInfo info;
    info.HintControl = Control;
    info.HintPos = FHintLocation;
    info.HintMaxWidth = limit;
    info.HintStr = text;
    info.HideTimeout = HideTime;
    bool canShow = true;
    TFrame* frame = nullptr;
    OnShowHint(text, canShow, info, frame);
    if (!canShow) return;
    if (text != HintText || frame) {
      SetHintFrame(frame);
      r = HintWindow->CalcHintRect(limit, text);
    }
    FHintLocation = info.HintPos;
  }
  HintWindow->ActivateHint(r, text);
  if (ActiveAlphaHints) ActiveAlphaHints->FHintLocation = Point(0, 0);
  FHintLocation = Point(0, 0);
  StartHideTimer(HideTime);
}

void TsAlphaHints::ShowHint(const TacShowHintData& ShowData, int HideTime) {
  if (!ActiveAlphaHints || HintCreating) return;
  TFlagScope creating(HintCreating);
  HintTimeCtrl = ShowData.Control ? ShowData.Control : ControlUnderMouse();
  TmpShowData = ShowData;
  EnsureHintWindow();
  if (!ShowData.Control) FHintLocation = ShowData.Position;
  HintWindow->FMousePos = ActiveAlphaHints->DefaultMousePos;
  const TRect r = HintWindow->CalcHintRect(ShowData.Width, ShowData.Caption);
  HintWindow->ActivateHint(r, ShowData.Caption);
  StartHideTimer(HideTime);
  TmpShowData = TacShowHintData{};
}

void TsAlphaHints::HideHint() {
  ReleaseFrame();
  if (HintWindow) {
    TacPngHintWindow* window = HintWindow;
    HintWindow = nullptr;
    TComponent::Free(window);
  }
  HintWindowHandle = nullptr;
  HintTimeCtrl = nullptr;
}

void TsAlphaHints::HideAll() {
  ReleaseFrame();
  if (ActiveAlphaHints) ActiveAlphaHints->HintShowing = false;
  HideHint();
  FreeDisplayWindow(AnimWindow);
  FreeDisplayWindow(NewWindow);
}

void TsAlphaHints::KillTimer() {
  if (!ShowTimer) return;
  TsShowTimer* timer = ShowTimer;
  ShowTimer = nullptr;
  TComponent::Free(timer);
}

void TsAlphaHints::RepaintHint() {
  if (!HintWindow || !HintWindow->HandleAllocated() || !IsWindowVisible(HintWindow->Handle()) || !HintShowing) return;
  if (OnShowHint) {
    std::wstring text = HintWindow->Text;
    bool canShow = true;
    TFrame* frame = HintFrame;
    OnShowHint(text, canShow, CurrentHintInfo, frame);
    SetHintFrame(frame);
    HintWindow->Text = text;
  }
  HintWindow->UpdateWnd();
}

void TsAlphaHints::OnHideTimer() {
  HideHint();
  if (HideTimer) HideTimer->WriteEnabled(false);
}

void TsAlphaHints::OnCheckTimer() {
  if (ControlUnderMouse() == HintTimeCtrl) return;
  if (HideTimer) HideTimer->WriteEnabled(false);
  if (CheckTimer) CheckTimer->WriteEnabled(false);
  HideAll();
  HintTimeCtrl = nullptr;
}

void TsAlphaHints::StartHideTimer(int HideTime) {
  if (!HideTimer) {
    HideTimer = new TacThreadedTimer(this, false);
    HideTimer->FreeNotification(this);
  }
  HideTimer->WriteEnabled(false);
  if (HideTime > 0) {
    HideTimer->WriteInterval(static_cast<DWORD>(HideTime));
    HideTimer->WriteOnTimer([this] { OnHideTimer(); });
  } else {
    // Hidden once the mouse has left the hint's control.
    HideTimer->WriteInterval(300);
    HideTimer->WriteOnTimer([this] { OnCheckTimer(); });
  }
  HideTimer->WriteEnabled(true);
}

void TsAlphaHints::StartCheckTimer() {
  if (CheckTimer) {
    TacThreadedTimer* old = CheckTimer;
    CheckTimer = nullptr;
    TComponent::Free(old);
  }
  CheckTimer = new TacThreadedTimer(this, false);
  CheckTimer->FreeNotification(this);
  CheckTimer->WriteInterval(static_cast<DWORD>(std::max(Application().HintShortPause, 0) + 300));
  CheckTimer->WriteOnTimer([this] {
    const bool visible = HintWindow && HintWindow->HandleAllocated() && IsWindowVisible(HintWindow->Handle());
    if (!visible || !HintShowing) {
      Blend = 0;
      FreeDisplayWindow(AnimWindow);
      FreeDisplayWindow(NewWindow);
      OldAlphaBmp.reset();
      if (g_savedHintPause >= 0) {
        Application().HintPause = g_savedHintPause;
        g_savedHintPause = -1;
      }
    }
    if (CheckTimer) CheckTimer->WriteEnabled(false);
  });
  CheckTimer->WriteEnabled(true);
}

void TsAlphaHints::SaveHintPause() {
  if (g_savedHintPause < 0) {
    g_savedHintPause = Application().HintPause;
    FOldHintPause = g_savedHintPause;
  }
  Application().HintPause = 100;
}

TacHintDisplayWindow* TsAlphaHints::MakeDisplayWindow(TacHintDisplayWindow*& Window, const TRect& Bounds,
                                                      bool DropShadow) {
  if (Window && Window->DropShadow() != DropShadow) FreeDisplayWindow(Window);
  if (!Window) {
    Window = new TacHintDisplayWindow(this, DropShadow);
    Window->FreeNotification(this);
    Window->SetBounds(Bounds.Left, Bounds.Top, Bounds.Width(), Bounds.Height());
    Window->Handle();
  } else {
    SetWindowPos(Window->Handle(), HWND_TOPMOST, 0, 0, Bounds.Width(), Bounds.Height(),
                 SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
  }
  return Window;
}

void TsAlphaHints::FreeDisplayWindow(TacHintDisplayWindow*& Window) {
  if (!Window) return;
  TacHintDisplayWindow* w = Window;
  Window = nullptr;
  TComponent::Free(w);
}

void TsAlphaHints::Notification(TComponent* AComponent, TOperation Operation) {
  if (Operation == TOperation::opRemove) {
    if (AComponent == HintWindow) {
      HintWindow = nullptr;
      HintWindowHandle = nullptr;
    }
    if (AComponent == AnimWindow) AnimWindow = nullptr;
    if (AComponent == NewWindow) NewWindow = nullptr;
    if (AComponent == HideTimer) HideTimer = nullptr;
    if (AComponent == CheckTimer) CheckTimer = nullptr;
    if (AComponent == ShowTimer) ShowTimer = nullptr;
    if (AComponent == HintTimeCtrl) HintTimeCtrl = nullptr;
    if (AComponent == HintFrame) HintFrame = nullptr;
  }
  TComponent::Notification(AComponent, Operation);
}

void TsAlphaHints::InitTemplate() {
  CurrentHintTemplate =
      FTemplateIndex >= 0 && FTemplateIndex < FTemplates->Count() ? FTemplates->Items(FTemplateIndex) : DefaultHintTemplate();
  TacHintTemplate& t = *CurrentHintTemplate;
  if (DefaultMousePos == mpLeftTop || t.SingleImage()) {
    CurrentHintImage = &t.ImageDefault();
    return;
  }
  switch (DefaultMousePos) {
    case mpLeftBottom: CurrentHintImage = &t.Img_LeftBottom(); break;
    case mpRightTop: CurrentHintImage = &t.Img_RightTop(); break;
    default: CurrentHintImage = &t.Img_RightBottom(); break;
  }
}

void TsAlphaHints::CheckAutoHintPos() {
  if (!FAutoAlignment || !HintTimeCtrl) return;
  if (!CurrentHintTemplate || !CurrentHintImage) InitTemplate();
  const TRect r = ControlScreenRect(HintTimeCtrl);
  TacHintImage& image = *CurrentHintImage;
  TacHintTemplate& t = *CurrentHintTemplate;
  const bool rightImage = &image == &t.Img_RightTop() || &image == &t.Img_RightBottom();
  const bool bottomImage = &image == &t.Img_RightBottom() || &image == &t.Img_LeftBottom();
  TPoint p;
  if (t.HintAlign == haVertCenter) {
    p.Y = r.Top + r.Height() / 2;
    p.X = rightImage ? r.Left : r.Right;
  } else {
    p.X = r.Left + r.Width() / 2;
    p.Y = bottomImage ? r.Top : r.Bottom;
  }
  p.X += rightImage ? -image.ShadowSizes.Right() : image.ShadowSizes.Left();
  p.Y += bottomImage ? -image.ShadowSizes.Bottom() : image.ShadowSizes.Top();
  p.X += image.OffsetHorz();
  p.Y += image.OffsetVert();
  FHintLocation = p;
}

int TsAlphaHints::ScaleHintValue(int Value) {
  TsSkinManager* m = DefaultManager();
  if (m && m->Options.ScaleMode.Get() != smVCL) return m->ScaleInt(Value);
  int ppi = 96;
  if (HintTimeCtrl && HintTimeCtrl->CurrentPPI() > 0)
    ppi = HintTimeCtrl->CurrentPPI();
  else
    ppi = Screen().MainFormPixelsPerInch();
  return MulDiv(Value, ppi, 96);
}

void TsAlphaHints::ScaledHintFont(TFont& Font, bool UseTemplateFont) {
  int height = -12;
  if (UseTemplateFont && CurrentHintTemplate) {
    Font.Assign(CurrentHintTemplate->Font);
    height = CurrentHintTemplate->Font.Height;
  }
  Font.Height = ScaleHintValue(height);
}

void TsAlphaHints::SaveToStream(TMemoryStream& Stream) {
  TacHintTemplate* t =
      FTemplateIndex >= 0 && FTemplateIndex < FTemplates->Count() ? FTemplates->Items(FTemplateIndex) : DefaultHintTemplate();
  if (!t) return;
  WriteHintTemplateStream(Stream, t->Data());
}

void TsAlphaHints::SaveToFile(const std::wstring& FileName) {
  TMemoryStream s;
  SaveToStream(s);
  // A new file beside the old one replaces it only once it is complete.
  WriteAllBytesAtomic(FileName, s.Bytes());
}

TacHintTemplate* TsAlphaHints::LoadFromStream(TMemoryStream& Stream) {
  std::optional<TacHintTemplateData> data = ReadHintTemplateStream(Stream);
  if (!data) {
    ShowErrorMessage(L"Unknown file format");
    return nullptr;
  }
  // Read completely before it joins the templates: a failing read adds nothing.
  auto t = std::make_unique<TacHintTemplate>(FTemplates.get());
  t->LoadData(*data);
  TacHintTemplate* added = FTemplates->Add(std::move(t));
  Changed();
  return added;
}

TacHintTemplate* TsAlphaHints::LoadFromFile(const std::wstring& FileName) {
  TMemoryStream s(ReadAllBytes(FileName));
  TacHintTemplate* t = LoadFromStream(s);
  if (t) {
    std::wstring name = ExtractFileName(FileName);
    const std::size_t dot = name.find(L'.');
    if (dot != std::wstring::npos) name.resize(dot);
    t->Name = name;
  }
  return t;
}
