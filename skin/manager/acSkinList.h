#pragma once
// The list of skins a manager can load: its stored skins and the packed skin files of its
// skin folder.
//
// Filled later with the skin list controller (previews, the background listing thread,
// the controls that show the list): so far the list is rebuilt at once, without previews.
#include <string>
#include <vector>

class TsSkinManager;
class TControl;

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

class TacSkinListController {
public:
  explicit TacSkinListController(TsSkinManager* AOwner) : SkinManager(AOwner) {}
  // The list must be rebuilt before its next use.
  bool UpdateNeeded = true;
  std::vector<TacSkinListData> SkinList;
  TsSkinManager* SkinManager;

  // Finishes a background listing in the calling thread (none runs yet).
  void CheckThread() {}
  void UpdateIfNeeded(bool ForceUpdating);
  // The controls that show the list; each hears SKCMD_LIST_SKIN_CHANGED when the skin changes.
  std::vector<TControl*> Controls;
  void SendSkinChanged();
};
