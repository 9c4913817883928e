#pragma once
// The list of skins a manager can load: its stored skins and the packed skin files of its
// skin folder, each with a 140 x 100 preview. The folder is read one entry per step, either
// at once or by a low-priority thread whose steps run every 12 ms on the UI thread, so that
// a large folder never blocks the UI. Controls that show the list register here and are
// told when the list or the current skin changes.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/runtime/Threads.h"

class TsSkinManager;
class TControl;
class TsAlphaImageList;
class TacSkinListController;

enum TacSkinMode { smInternal, smExtPacked, smExtUnpacked };

struct TacSkinListData {
  std::wstring skName;
  TacSkinMode skSkinMode = smInternal;
  int skImageIndex = -1;  // preview image, -1 without
};

// The data a name of a skin list carries for the controls that draw it.
struct TacItemDrawData {
  int ImageIndex = -1;
};

// An open folder listing: Name is the current entry's name, empty when none is open.
struct TacSearchRec {
  HANDLE FindHandle = INVALID_HANDLE_VALUE;
  std::wstring Name;
  DWORD Attr = 0;
};

// Paces a background listing: waits 12 ms, then runs one step on the UI thread.
class TacAddThread : public TThread {
public:
  explicit TacAddThread(TacSkinListController* AOwner);
  // Runs on the UI thread only (its controller frees it): clears the controller's Thread
  // when that still names this thread.
  ~TacAddThread() override;
  TacSkinListController* FOwner;
  std::unique_ptr<TSimpleEvent> TimeEvent;  // never signalled: the wait is the pacing
  // One listing step on the UI thread.
  void DoTimer();

protected:
  void Execute() override;
};

class TacSkinListController {
public:
  explicit TacSkinListController(TsSkinManager* AOwner);
  // Stops every listing thread and waits for it, running the steps it may be waiting in.
  ~TacSkinListController();
  TacSkinListController(const TacSkinListController&) = delete;
  TacSkinListController& operator=(const TacSkinListController&) = delete;

  std::wstring sPath;  // the listed folder with a trailing backslash
  int DosCode = 0;     // result of the last find: 0 = an entry was found
  std::unique_ptr<TsAlphaImageList> ImgList;
  // The list must be rebuilt before its next use.
  bool UpdateNeeded = true;
  TacSearchRec FileInfo;
  TacAddThread* Thread = nullptr;  // the thread running a listing, nil when none
  TsSkinManager* SkinManager;
  // The controls that show the list; a removed one leaves an empty slot.
  std::vector<TControl*> Controls;
  std::vector<TacSkinListData> SkinList;

  void AddControl(TControl* Ctrl);
  void DelControl(TControl* Ctrl);
  int CtrlIndex(TControl* Ctrl) const;
  void Clear(bool FlagUpdate, bool Notify);
  void SendListChanged();
  void SendSkinChanged();
  void UpdateIfNeeded(bool ForceUpdating);
  // Rebuilds the list; false only while the manager is loading or being destroyed.
  bool UpdateData(bool UpdateNow);
  // Finishes a background listing in the calling thread.
  void CheckThread();
  void StartDelayedLoading();
  // Appends an entry: IntIndex < 0 is the packed file AName of sPath, else the stored skin
  // of that index.
  void AddSkin(const std::wstring& AName, int IntIndex);
  // One step of the open listing: 1 when none is open, else the result of the next find.
  int AddSkinData();
  // Ends the open listing, if any.
  void CloseListing();

private:
  // Every listing thread not yet freed: the running one and those told to stop.
  std::vector<std::unique_ptr<TacAddThread>> FThreads;
  void FreeFinishedThreads();
};
