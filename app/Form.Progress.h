#pragma once
// The modeless window that shows a running update: a gauge or a spinner on the left,
// the title, stage and state of the current step on the right. Closing it cancels.
#include "platform/ui/ExtCtrls.h"
#include "platform/ui/Forms.h"
#include "settings/Common.Types.h"
#include "skin/controls/acArcControls.h"
#include "skin/controls/sLabel.h"
#include "skin/controls/sPanel.h"
#include <functional>

class TFormProgress : public TForm {
public:
  explicit TFormProgress(TComponent* AOwner);
  std::wstring ClassName() const override { return L"TFormProgress"; }

  TGridPanel* GridTop;
  TsLabelFX* lblTitle;
  TsArcGauge* Gauge;
  TsPanel* sPanel1;
  TsArcPreloader* Preloader;
  TsLabel* lblStage;
  TsLabel* lblState;

  // Called when the window is closed (its close button or system menu).
  std::function<void()> OnCancel;

  // Shows one progress record: the spinner while waiting, else the gauge with the percentage.
  void UpdateProgress(const TProgressInfo& Info);

protected:
  void FormCreate() override;
  void FormClose(TCloseAction& Action) override;
};
