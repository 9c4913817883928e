#include "skin/graphics/acntTypes.h"

#include "skin/manager/sSkinManager.h"

std::intptr_t SkipSkinningTag = 256;

TacGlowForm::TacGlowForm(TComponent* AOwner) : TForm(AOwner) {}

TacGlowForm::~TacGlowForm() { AlphaBmp.reset(); }

void TacGlowForm::AfterConstruction() {
  TForm::AfterConstruction();
  AlphaBmp.reset();
  Tag = SkipSkinningTag;
  SetBorderStyle(bsNone);
  TransparentMouse = true;
  TsSkinManager* manager = DefaultManager();
  Scaled = !manager || manager->Options.ScaleMode.Get() == smVCL;
}

void TacGlowForm::CreateParams(TCreateParams& params) {
  TForm::CreateParams(params);
  params.ExStyle |= WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE;
  params.ClassStyle &= ~static_cast<UINT>(CS_DROPSHADOW);
}

void TacGlowForm::WndProc(TMessage& message) {
  if ((message.Msg == WM_SHOWWINDOW || message.Msg == CM_VISIBLECHANGED) && message.WParam == 0 &&
      HandleAllocated() && IsWindowVisible(FHandle)) {
    // Hidden here, before the framework hides it, so that no other window is activated.
    // 0x69B: no size, move, redraw, activation, owner Z order or changing message.
    SetWindowPos(FHandle, nullptr, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOREDRAW | SWP_NOACTIVATE | SWP_HIDEWINDOW | SWP_NOOWNERZORDER |
                     SWP_NOSENDCHANGING);
  }
  TForm::WndProc(message);
  if (message.Msg == WM_NCHITTEST && TransparentMouse) message.Result = HTTRANSPARENT;
}
