#include "app/Form.Progress.h"
#include <algorithm>

TFormProgress::TFormProgress(TComponent* AOwner) : TForm(AOwner) {
  Name = L"FormProgress";
  SetCaption(L"Update");
  SetClientSize(450, 120);
  SetBorderStyle(bsSingle);
  SetBorderIcons(biSystemMenu);
  Position = poScreenCenter;
  Font.Name = L"Tahoma";
  Font.Height = -11;

  auto margins = [](TControl* c, int l, int t, int r, int b) {
    c->AlignWithMargins = true;
    c->Margins = TMargins{l, t, r, b};
  };

  sPanel1 = new TsPanel(this);
  sPanel1->Name = L"sPanel1";
  sPanel1->BevelOuter = bvNone;
  sPanel1->ShowCaption = false;
  sPanel1->SetBounds(0, 0, 100, 80);
  margins(sPanel1, 20, 20, 20, 20);
  sPanel1->SetAlign(alLeft);
  sPanel1->SetParent(this);

  Gauge = new TsArcGauge(this);
  Gauge->Name = L"Gauge";
  Gauge->SetLineWidth(10);
  Gauge->SetMin(0);
  Gauge->SetMax(100);
  Gauge->Font.Name = L"Tahoma";
  Gauge->Font.Height = -21;
  Gauge->SetText(L"Gauge");
  Gauge->SetParent(sPanel1);

  Preloader = new TsArcPreloader(this);
  Preloader->Name = L"Preloader";
  Preloader->SetLineWidth(10);
  Preloader->SetParent(sPanel1);

  GridTop = new TGridPanel(this);
  GridTop->Name = L"GridTop";
  GridTop->BevelOuter = bvNone;
  GridTop->ShowCaption = false;
  GridTop->ColumnCollection = {{ssPercent, 100}};
  GridTop->RowCollection = {{ssPercent, 39.13}, {ssPercent, 30.43}, {ssPercent, 30.43}};
  margins(GridTop, 0, 30, 20, 30);
  GridTop->SetAlign(alClient);
  GridTop->SetParent(this);

  lblTitle = new TsLabelFX(this);
  lblTitle->Name = L"lblTitle";
  lblTitle->Font.Name = L"Tahoma";
  lblTitle->Font.Height = -15;
  lblTitle->Font.Style = fsBold;
  lblTitle->Layout = tlCenter;
  lblTitle->SetAngle(0);
  lblTitle->Shadow.OffsetKeeper = TacOffsetKeeper{-3, 5};
  lblTitle->SetAlign(alClient);
  lblTitle->SetParent(GridTop);

  lblStage = new TsLabel(this);
  lblStage->Name = L"lblStage";
  lblStage->Layout = tlCenter;
  margins(lblStage, 2, 0, 0, 0);
  lblStage->SetAlign(alClient);
  lblStage->SetParent(GridTop);

  lblState = new TsLabel(this);
  lblState->Name = L"lblState";
  lblState->Layout = tlCenter;
  margins(lblState, 2, 0, 0, 0);
  lblState->SetAlign(alClient);
  lblState->SetParent(GridTop);
}

void TFormProgress::FormCreate() {
  Preloader->SetVisible(false);
  Preloader->SetAlign(alClient);
  Gauge->SetVisible(false);
  Gauge->SetAlign(alClient);
  Gauge->SetProgress(0);
  lblTitle->SetCaption(L"");
  lblStage->SetCaption(L"");
  lblState->SetCaption(L"");
}

void TFormProgress::FormClose(TCloseAction& Action) {
  if (OnCancel) OnCancel();
}

void TFormProgress::UpdateProgress(const TProgressInfo& Info) {
  Gauge->SetVisible(!Info.Wait);
  Preloader->SetVisible(Info.Wait);
  Gauge->SetProgress(std::clamp<std::int64_t>(Info.Percent, 0, 100));
  lblTitle->SetCaption(Info.Title);
  lblStage->SetCaption(Info.Stage);
  lblState->SetCaption(Info.State);
}
