#pragma once
// Owners that pass every message through the common handling of their skin state, as the
// engine's skinned controls do: a windowed one and a graphic one. Each renders its cache on
// sub-command 23 by filling it with the colour of the state IsHot gives (or a test's
// renderer), then hands the message to the common routines.
#include <windows.h>

#include <functional>
#include <memory>

#include "SkinStateFixtures.h"
#include "skin/graphics/sGraphUtils.h"
#include "skin/manager/sCommonData.h"

// Fills the owner's cache with its section's colour of the state it is drawn in.
inline void RenderFlatCache(TsCommonData& state) {
  state.InitCacheBitmap();
  if (!state.Skinned() || state.FCacheBmp->Empty()) return;
  const TsGenState& props = state.ReadCommonSkinData()->gd[state.SkinIndex].StateProps(IsHot(&state));
  TCanvas& canvas = state.FCacheBmp->Canvas();
  canvas.Brush.Color = props.Color;
  canvas.FillRect(TRect{0, 0, state.FCacheBmp->Width(), state.FCacheBmp->Height()});
}

template <class Base>
class TCommonOwner : public Base, public TSkinReceiver {
public:
  template <class... A>
  TCommonOwner(TComponent* owner, std::uint8_t kind, const wchar_t* section, A... args) : Base(owner, args...) {
    State = std::make_unique<TsCommonData>(this, true);
    State->COC = kind;
    if (section) State->FSkinSection = section;
    State->Loading = false;
  }
  void BeforeDestruction() override {
    State.reset();
    Base::BeforeDestruction();
  }
  // Resolves the section (after the owner has its parent).
  void Resolve() { State->UpdateIndexes(true); }
  std::unique_ptr<TsCommonData> State;
  // The cache renderer of sub-command 23; nullptr keeps the cache as it is.
  std::function<void(TsCommonData&)> Render = RenderFlatCache;
  // Whether the last message was handled by the common routines.
  bool LastHandled = false;

protected:
  void WndProc(TMessage& m) override {
    if (m.Msg == SM_SKINCOMMAND) {
      Receive(m);
      if (SkinCommandOf(m.WParam) == SKCMD_PREPARE_CACHE && Render && State) Render(*State);
    }
    LastHandled = State && HandleCommonWindowMessage(m, State.get());
    if (LastHandled && m.Msg != SM_SKINCOMMAND) return;
    if (m.Msg == SM_SKINCOMMAND) return;
    Base::WndProc(m);
  }
};

class TCommonWin : public TCommonOwner<TWinControl> {
public:
  TCommonWin(TComponent* owner, TWinControl* parent, std::uint8_t kind, const wchar_t* section)
      : TCommonOwner<TWinControl>(owner, kind, section) {
    SetBounds(0, 0, 60, 30);
    if (parent) SetParent(parent);
    if (parent && parent->HandleAllocated()) Handle();
    Resolve();
  }
  std::wstring ClassName() const override { return L"TCommonWin"; }
  void SetLoading(bool on) {
    if (on)
      FComponentState |= csLoading;
    else
      FComponentState &= ~csLoading;
  }
};

// A panel (is-a TCustomPanel) with the common handling.
class TCommonPanel : public TCommonOwner<TCustomPanel> {
public:
  TCommonPanel(TComponent* owner, TWinControl* parent, std::uint8_t kind, const wchar_t* section)
      : TCommonOwner<TCustomPanel>(owner, kind, section) {
    SetBounds(0, 0, 60, 30);
    if (parent) SetParent(parent);
    if (parent && parent->HandleAllocated()) Handle();
    Resolve();
  }
};

class TCommonGraphic : public TCommonOwner<TGraphicControl> {
public:
  TCommonGraphic(TComponent* owner, TWinControl* parent, std::uint8_t kind, const wchar_t* section)
      : TCommonOwner<TGraphicControl>(owner, kind, section) {
    SetBounds(0, 0, 20, 20);
    if (parent) SetParent(parent);
    Resolve();
  }
  std::wstring ClassName() const override { return L"TCommonGraphic"; }
};

// A hidden form as the parent of test owners.
struct THiddenParent {
  TSkinForm* Form;
  THiddenParent() {
    Application().Initialize();
    Form = CreateComponent<TSkinForm>(nullptr);
    Form->Handle();
  }
  ~THiddenParent() { TComponent::Free(Form); }
};

// The pixel (x, y) of a 32-bit bitmap as 0x00RRGGBB.
inline std::uint32_t PixelAt(TBitmap& bmp, int x, int y) {
  return static_cast<const std::uint32_t*>(bmp.ScanLine(y))[x] & 0xFFFFFF;
}
// A TColor (0x00BBGGRR) as a pixel (0x00RRGGBB).
constexpr std::uint32_t PixelOf(TColor c) {
  return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}
