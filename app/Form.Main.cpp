#include "app/Form.Main.h"
#include "platform/runtime/Files.h"
#include "platform/runtime/Resources.h"
#include "platform/runtime/Strings.h"
#include "skin/manager/sStoredSkins.h"

namespace {
// The system colour of button faces, as a colour value that names a system colour.
constexpr std::int32_t kBtnFaceColor = static_cast<std::int32_t>(0xFF000000u | COLOR_BTNFACE);

// The skins the program carries: each one's packed bytes are a data resource of the
// program, made at build time by tools/make_skin.py from resources/skins/.
struct TStoredSkinResource {
  const wchar_t* Name;
  const wchar_t* Resource;
  const wchar_t* OriginName;
};
constexpr TStoredSkinResource StoredSkins[] = {
    {L"Lusmere II (internal)", L"SKIN_LUSMERE_II", L"Lusmere II"},
};
}  // namespace

TFormMain::TFormMain(TComponent* AOwner) : TForm(AOwner) {
  SetCaption(L"FormMain");
  SetClientSize(635, 260);
  SetColor(kBtnFaceColor);

  SkinProvider = new TsSkinProvider(this);
  SkinProvider->Name = L"SkinProvider";
  AppEvents = new TApplicationEvents(this);
  AppEvents->Name = L"AppEvents";
  ActionList = new TActionList(this);
  ActionList->Name = L"ActionList";
  SkinManager = new TsSkinManager(this);
  SkinManager->Name = L"SkinManager";
  SkinProvider->SkinManager = SkinManager;

  // What the form definition gives the skin manager before the settings are applied.
  SkinManager->AnimEffects.BlendOnMoving.Active = true;
  SkinManager->AnimEffects.BlendOnMoving.Time = 150;
  SkinManager->ExtendedBorders = true;
  SkinManager->SetSkinName(L"Lusmere II (internal)");
  for (const TStoredSkinResource& stored : StoredSkins) {
    TsStoredSkin* skin = SkinManager->InternalSkins().Add();
    skin->Name = stored.Name;
    skin->OrigName = stored.OriginName;
    // A missing resource leaves the skin without data, which the loader skips.
    if (RCDataExists(nullptr, stored.Resource)) skin->PackedData = std::make_unique<TResourceStream>(nullptr, stored.Resource);
  }

  SkinManager->SetSkinDirectory(ExeDir() + L"skins\\");
  ApplySkin(GlobalSettings()->Config().Skin);
}

void TFormMain::ApplySkin(const TCfgSkin& ASkin) {
  SkinManager->BeginUpdate();
  try {
    SkinManager->SetActive(ASkin.Active);
    SkinManager->SetSkinName(Trim(ASkin.Name));
    SkinManager->HueOffset = ASkin.HueOffset;
    SkinManager->Saturation = ASkin.Saturation;
    SkinManager->Brightness = ASkin.Brightness;
    SkinManager->ExtendedBorders = ASkin.ExtendedBorders;
    SkinManager->Options.DrawNonClientArea = ASkin.DrawNonClient;
    SkinManager->AnimEffects.BlendOnMoving.Active = ASkin.BlendForm;
  } catch (...) {
    SkinManager->EndUpdate(true, false);
    throw;
  }
  SkinManager->EndUpdate(true, false);
}
