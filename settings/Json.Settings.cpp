#include "settings/Json.Settings.h"
#include "platform/runtime/Uri.h"

#include <optional>

#include "platform/runtime/Strings.h"

const TJsonClassInfo& TCfgCommon::JsonClass() {
  using C = TCfgCommon;
  static const TJsonClassInfo info{L"TCfgCommon",
                                   {JsonField(L"Key", &C::Key, JsonAttr(L"Key", true)),
                                    JsonField(L"Lang", &C::Lang, JsonAttr(L"Lang", L"EN", true)),
                                    JsonField(L"Magnetic", &C::Magnetic, JsonAttr(L"Magnetic_cards", L"false", true)),
                                    JsonField(L"UpdateCache", &C::UpdateCache, JsonAttr(L"UpdateCache", L"false", true)),
                                    JsonField(L"HideWemb", &C::HideWemb, JsonAttr(L"HideWemb", L"true", true))}};
  return info;
}

const TJsonClassInfo& TCfgLinks::JsonClass() {
  using C = TCfgLinks;
  static const TJsonClassInfo info{
      L"TCfgLinks",
      {JsonField(L"UpdateUrl", &C::UpdateUrl, JsonAttr(L"UpdateUrl", false)),
       JsonField(L"BrowserUrl", &C::BrowserUrl, JsonAttr(L"BrowserUrl", DefaultBrowserUrl, true))}};
  return info;
}

const TJsonClassInfo& TCfgButtons::JsonClass() {
  static const TJsonClassInfo info{L"TCfgButtons",
                                   {JsonField(L"Close", &TCfgButtons::Close, JsonAttr(L"Close", L"1", true))}};
  return info;
}

const TJsonClassInfo& TCfgScreen::JsonClass() {
  using C = TCfgScreen;
  static const TJsonClassInfo info{
      L"TCfgScreen",
      {JsonField(L"ChangeResolution", &C::ChangeResolution, JsonAttr(L"ChangeResolution", L"true", true)),
       JsonField(L"Fullscreen", &C::Fullscreen, JsonAttr(L"Fullscreen", L"true", true)),
       JsonField(L"AutoFogging", &C::AutoFogging, JsonAttr(L"AutoFogging", L"false", true)),
       JsonField(L"LobbyFogging", &C::LobbyFogging, JsonAttr(L"LobbyFogging", L"128", true)),
       JsonField(L"GameFogging", &C::GameFogging, JsonAttr(L"GameFogging", L"100", true))}};
  return info;
}

const TJsonClassInfo& TCfgHall::JsonClass() {
  using C = TCfgHall;
  static const TJsonClassInfo info{L"TCfgHall",
                                   {JsonField(L"id", &C::id, JsonAttr(L"id", L"0", true)),
                                    JsonField(L"Api", &C::Api, JsonAttr(L"Api", DefaultHallApiUrl, false))}};
  return info;
}

const TJsonClassInfo& TCfgBrowser::JsonClass() {
  using C = TCfgBrowser;
  static const TJsonClassInfo info{
      L"TCfgBrowser",
      {JsonField(L"EnableHighDPI", &C::EnableHighDPI, JsonAttr(L"EnableHighDPISupport", L"false", true)),
       JsonField(L"EnableGPU", &C::EnableGPU, JsonAttr(L"EnableGPU", L"true", true)),
       JsonField(L"DeleteCache", &C::DeleteCache, JsonAttr(L"DeleteCache", L"true", true))}};
  return info;
}

const TJsonClassInfo& TCfgSkin::JsonClass() {
  using C = TCfgSkin;
  static const TJsonClassInfo info{
      L"TCfgSkin",
      {JsonField(L"Active", &C::Active, JsonAttr(L"Active", L"True", true)),
       JsonField(L"Name", &C::Name, JsonAttr(L"Name", L"Lusmere II (internal)", true)),
       JsonField(L"HueOffset", &C::HueOffset, JsonAttr(L"HueOffset", L"0", true)),
       JsonField(L"Saturation", &C::Saturation, JsonAttr(L"Saturation", L"0", true)),
       JsonField(L"Brightness", &C::Brightness, JsonAttr(L"Brightness", L"0", true)),
       JsonField(L"DrawNonClient", &C::DrawNonClient, JsonAttr(L"DrawNonClient", L"True", true)),
       JsonField(L"ExtendedBorders", &C::ExtendedBorders, JsonAttr(L"ExtendedBorders", L"True", true)),
       JsonField(L"BlendForm", &C::BlendForm, JsonAttr(L"BlendForm", L"True", true))}};
  return info;
}

const TJsonClassInfo& TSettings::JsonClass() {
  using C = TSettings;
  static const TJsonClassInfo info{L"TSettings",
                                   {JsonObjectField(L"Common", &C::Common, JsonAttr(L"common", true)),
                                    JsonObjectField(L"Links", &C::Links, JsonAttr(L"links", true)),
                                    JsonObjectField(L"Buttons", &C::Buttons, JsonAttr(L"buttons", true)),
                                    JsonObjectField(L"Screen", &C::Screen, JsonAttr(L"screen", true)),
                                    JsonObjectField(L"Hall", &C::Hall, JsonAttr(L"hall", true)),
                                    JsonObjectField(L"Browser", &C::Browser, JsonAttr(L"browser", true)),
                                    JsonObjectField(L"Skin", &C::Skin, JsonAttr(L"skin", true))}};
  return info;
}

std::wstring TSettings::AsJson() const { return FormatJson(JsonObjectToJson(this, JsonClass())); }

// ---- hall addresses ---------------------------------------------------------------

namespace {

std::wstring UriToString(const TURI& u) {
  std::wstring out = u.Scheme + L"://";
  if (!u.UserInfo.empty()) out += u.UserInfo + L"@";
  out += u.Host;
  if (u.Port >= 0 && ((SameText(u.Scheme, L"http") && u.Port != 80) || (SameText(u.Scheme, L"https") && u.Port != 443)))
    out += L":" + std::to_wstring(u.Port);
  out += u.Path;
  if (!u.Query.empty()) out += L"?" + u.Query;
  if (!u.Fragment.empty()) out += L"#" + u.Fragment;
  return out;
}

std::optional<std::wstring> WithIndexAndQuery(const std::wstring& url, const wchar_t* query) {
  std::optional<TURI> u;
  try {
    u = TURI::Parse(url);
  } catch (const ENetURIException&) {
    return std::nullopt;
  }
  // Only an address with a host can be written out again as one.
  if (u->Host.empty()) return std::nullopt;
  if (u->Path.empty()) u->Path = L"/";
  static const std::wstring index = L"index.php";
  if (u->Path.size() < index.size() || u->Path.compare(u->Path.size() - index.size(), index.size(), index) != 0)
    u->Path += index;
  u->Query = query;
  return UriToString(*u);
}

}  // namespace

std::wstring TCfgHall::ToApi(const std::wstring& AUrl) {
  return WithIndexAndQuery(AUrl, L"act=api&response=js").value_or(DefaultHallApiUrl);
}

std::wstring TCfgHall::ToUrl(const std::wstring& AUrl) {
  return WithIndexAndQuery(AUrl, L"time=%s&session=%s").value_or(L"time=%s&session=%s");
}
