#pragma once
// The skin engine's panel. Without a skin it paints as the framework's panel: its colour,
// bevel and caption.
#include "platform/ui/ExtCtrls.h"

class TsCustomPanel : public TCustomPanel {
public:
  using TCustomPanel::TCustomPanel;
  std::wstring ClassName() const override { return L"TsCustomPanel"; }
};

class TsPanel : public TsCustomPanel {
public:
  using TsCustomPanel::TsCustomPanel;
  std::wstring ClassName() const override { return L"TsPanel"; }
};
