#include "skin/manager/acSkinList.h"

#include <algorithm>

#include "platform/runtime/Files.h"
#include "platform/runtime/Logger.h"
#include "platform/runtime/Strings.h"
#include "platform/ui/Forms.h"
#include "skin/controls/acAlphaImageList.h"
#include "skin/graphics/sMessages.h"
#include "skin/manager/acPackedSkin.h"
#include "skin/manager/sSkinManager.h"
#include "skin/manager/sStoredSkins.h"

namespace {

constexpr int PreviewWidth = 140, PreviewHeight = 100;
constexpr DWORD StepPeriodMs = 12;

bool ManagerBusy(const TsSkinManager* m) {
  return (m->ComponentState() & (csLoading | csReading | csDestroying)) != 0;
}

}  // namespace

// ---- TacAddThread ---------------------------------------------------------------------

TacAddThread::TacAddThread(TacSkinListController* AOwner)
    : TThread(true), FOwner(AOwner), TimeEvent(std::make_unique<TSimpleEvent>()) {}

TacAddThread::~TacAddThread() {
  TerminateAndWait();  // Execute waits on TimeEvent
  if (FOwner && FOwner->Thread == this) FOwner->Thread = nullptr;
}

void TacAddThread::Execute() {
  while (!Terminated()) {
    if (TimeEvent->WaitFor(StepPeriodMs) != wrTimeout || Terminated()) break;
    if (!Synchronize([this] { DoTimer(); })) break;  // the UI thread takes no more calls
  }
}

void TacAddThread::DoTimer() {
  // A thread told to stop (replaced, or its listing finished by CheckThread) has no
  // listing of its own left: its last queued step must not touch the controller's.
  if (Terminated()) return;
  if (Application().Terminated()) {
    Terminate();
    return;
  }
  if (FOwner->AddSkinData() == 0) return;
  FOwner->CloseListing();
  Terminate();
  if (FOwner->Thread == this) FOwner->Thread = nullptr;
  // UpdateNeeded was cleared when the listing started; set again meanwhile (a new stored
  // skin, another folder), it must stay set.
  FOwner->SendListChanged();
}

// ---- TacSkinListController ------------------------------------------------------------

TacSkinListController::TacSkinListController(TsSkinManager* AOwner)
    : ImgList(std::make_unique<TsAlphaImageList>(nullptr, PreviewWidth, PreviewHeight)), SkinManager(AOwner) {
}

TacSkinListController::~TacSkinListController() {
  for (auto& t : FThreads) t->Terminate();
  // A thread may be waiting for the UI thread in a step: the wait runs that step, which
  // finds its thread told to stop and does nothing.
  for (auto& t : FThreads) t->WaitForRunningCalls();
  FThreads.clear();
  Thread = nullptr;
  CloseListing();
}

void TacSkinListController::FreeFinishedThreads() {
  std::erase_if(FThreads, [](const std::unique_ptr<TacAddThread>& t) { return t->Finished(); });
}

void TacSkinListController::AddControl(TControl* Ctrl) {
  if (CtrlIndex(Ctrl) >= 0) return;
  const bool first = std::all_of(Controls.begin(), Controls.end(), [](TControl* c) { return c == nullptr; });
  Controls.push_back(Ctrl);
  if (first && SkinList.empty()) Clear(true, true);
}

void TacSkinListController::DelControl(TControl* Ctrl) {
  const int i = CtrlIndex(Ctrl);
  if (i >= 0) Controls[static_cast<std::size_t>(i)] = nullptr;
}

int TacSkinListController::CtrlIndex(TControl* Ctrl) const {
  if (!Ctrl) return -1;
  const auto it = std::find(Controls.begin(), Controls.end(), Ctrl);
  return it == Controls.end() ? -1 : static_cast<int>(it - Controls.begin());
}

void TacSkinListController::Clear(bool FlagUpdate, bool Notify) {
  SkinList.clear();
  ImgList->Clear();
  if (FlagUpdate) {
    UpdateNeeded = true;
    if (Notify) SendListChanged();
  }
}

void TacSkinListController::SendListChanged() {
  // A control may register or leave while it is told: walk by index over a copy.
  const std::vector<TControl*> controls = Controls;
  for (TControl* c : controls)
    if (c && CtrlIndex(c) >= 0) c->Perform(SM_SKINCOMMAND, SkinCommandWParam(SKCMD_LIST_CHANGED), 0);
}

void TacSkinListController::SendSkinChanged() {
  const std::vector<TControl*> controls = Controls;
  for (TControl* c : controls) {
    if (!c || CtrlIndex(c) < 0) continue;
    auto* w = dynamic_cast<TWinControl*>(c);
    if (w && w->HandleAllocated())
      PostMessageW(w->Handle(), SM_SKINCOMMAND, SkinCommandWParam(SKCMD_LIST_SKIN_CHANGED), 0);
    else
      c->Perform(SM_SKINCOMMAND, SkinCommandWParam(SKCMD_LIST_SKIN_CHANGED), 0);
  }
}

void TacSkinListController::UpdateIfNeeded(bool ForceUpdating) {
  if (UpdateNeeded) UpdateNeeded = !UpdateData(ForceUpdating);
}

bool TacSkinListController::UpdateData(bool UpdateNow) {
  if (!SkinManager || ManagerBusy(SkinManager)) return false;
  bool delayed = false;
  TsSkinManager* def = DefaultManager();
  if (def == SkinManager || !def || !SameText(SkinManager->SkinDirectory(), def->SkinDirectory())) {
    SkinList.clear();
    ImgList->Clear();
    if (SkinManager->SkinsFilter() & sfiInternal) {
      TsStoredSkins& stored = SkinManager->InternalSkins();
      for (int i = 0; i < stored.Count(); ++i) AddSkin(stored.Items(i)->Name, i);
    }
    if (SkinManager->SkinsFilter() & sfiExternal) {
      sPath = SkinManager->GetFullSkinDirectory();
      if (!sPath.empty() && sPath.back() != L'\\') sPath += L'\\';
      CloseListing();
      if (DirectoryExists(sPath)) {
        WIN32_FIND_DATAW found;
        FileInfo.FindHandle = FindFirstFileW((sPath + L"*.*").c_str(), &found);
        if (FileInfo.FindHandle != INVALID_HANDLE_VALUE) {
          FileInfo.Name = found.cFileName;
          FileInfo.Attr = found.dwFileAttributes;
          DosCode = 0;
        } else {
          DosCode = static_cast<int>(GetLastError());
        }
        if (UpdateNow) {
          while (AddSkinData() == 0) {
          }
          CloseListing();
          UpdateNeeded = false;
        } else {
          if (!Thread) StartDelayedLoading();
          delayed = true;  // the thread tells the controls at its end
        }
      } else {
        UpdateNeeded = false;
      }
    }
  } else {
    // A second manager on the default manager's folder: that list is read once only.
    ImgList->Clear();
    TacSkinListController& other = *def->SkinListController;
    other.CheckThread();
    other.UpdateIfNeeded(true);
    SkinList = other.SkinList;
    for (int i = 0; i < other.ImgList->Count(); ++i) {
      TMemoryStream& data = other.ImgList->Items().GetItem(i)->ImgData;
      data.SetPosition(0);
      ImgList->TryLoadFromPngStream(data);
      data.SetPosition(0);
    }
    UpdateNeeded = false;
  }
  if (!delayed) SendListChanged();
  return true;
}

void TacSkinListController::CheckThread() {
  if (!Thread) return;
  Thread->Terminate();
  Thread = nullptr;
  while (AddSkinData() == 0) {
  }
  CloseListing();
  // UpdateNeeded stays as it is, as at the end of the thread's listing.
  SendListChanged();
}

void TacSkinListController::StartDelayedLoading() {
  if (Thread) Thread->Terminate();
  FreeFinishedThreads();
  auto t = std::make_unique<TacAddThread>(this);
  t->SetPriority(tpLower);
  Thread = t.get();
  FThreads.push_back(std::move(t));
  Thread->Start();
}

void TacSkinListController::AddSkin(const std::wstring& AName, int IntIndex) {
  TacSkinListData entry{AName, smInternal, -1};
  // One skin's preview never stops the listing: an unreadable one leaves the entry without.
  try {
    TMemoryStream preview;
    bool found = false;
    if (IntIndex < 0) {
      found = LoadPreviewImageFromFile(preview, sPath + AName);
    } else {
      TsStoredSkins& stored = SkinManager->InternalSkins();
      if (IntIndex < stored.Count() && stored.Items(IntIndex)->PackedData)
        found = ExtractPreviewImage(preview, *stored.Items(IntIndex)->PackedData);
    }
    if (found && ImgList->TryLoadFromPngStream(preview)) entry.skImageIndex = ImgList->Count() - 1;
  } catch (const std::exception& e) {
    CodeSite().SendException(L"Skin preview of " + AName, e);
  }
  if (IntIndex < 0) {
    const std::size_t at = LowerCase(entry.skName).find(L".ovz");
    if (at != std::wstring::npos) entry.skName.erase(at, 4);
    entry.skSkinMode = smExtPacked;
  }
  SkinList.push_back(std::move(entry));
}

int TacSkinListController::AddSkinData() {
  if (FileInfo.Name.empty()) return 1;
  const std::wstring& name = FileInfo.Name;
  const std::size_t dot = name.rfind(L'.');
  const bool packed = dot != std::wstring::npos && name.compare(dot, std::wstring::npos, L".ovz") == 0;
  if (name[0] != L'.' && !(FileInfo.Attr & FILE_ATTRIBUTE_DIRECTORY) && packed) AddSkin(name, -1);
  WIN32_FIND_DATAW found;
  if (FileInfo.FindHandle != INVALID_HANDLE_VALUE && FindNextFileW(FileInfo.FindHandle, &found)) {
    FileInfo.Name = found.cFileName;
    FileInfo.Attr = found.dwFileAttributes;
    DosCode = 0;
  } else {
    DosCode = ERROR_NO_MORE_FILES;
  }
  return DosCode;
}

void TacSkinListController::CloseListing() {
  if (FileInfo.FindHandle != INVALID_HANDLE_VALUE) FindClose(FileInfo.FindHandle);
  FileInfo = TacSearchRec();
}
