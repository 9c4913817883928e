#include "settings/Json.Persist.h"

#include <windows.h>

#include <cwchar>
#include <optional>

#include "platform/runtime/Files.h"
#include "platform/runtime/Logger.h"
#include "platform/runtime/Strings.h"

namespace {

TJsonReadRetry g_readRetry;

bool TextToFloat(std::wstring text, wchar_t separator, double& value) {
  // Both "." and "," count as the decimal separator, whatever the locale says.
  for (auto& c : text)
    if (c == L'.' || c == L',') c = separator;
  for (auto& c : text)
    if (c == separator) c = L'.';
  text = Trim(text);
  if (text.empty()) return false;
  for (wchar_t c : text)
    if (!((c >= L'0' && c <= L'9') || c == L'.' || c == L'-' || c == L'+' || c == L'e' || c == L'E')) return false;
  wchar_t* end = nullptr;
  double v = std::wcstod(text.c_str(), &end);
  if (end != text.c_str() + text.size()) return false;
  value = v;
  return true;
}

std::wstring SetToText(long long bits, const std::vector<std::wstring>& names) {
  std::wstring out = L"[";
  bool first = true;
  for (size_t i = 0; i < names.size() && i < 64; ++i)
    if (bits & (1LL << i)) {
      if (!first) out += L',';
      out += names[i];
      first = false;
    }
  return out + L"]";
}

// The text a stored value stands for; nothing for an object, an array or a missing key.
std::optional<std::wstring> ValueText(const TJsonValue* v) {
  if (!v) return std::nullopt;
  switch (v->Kind()) {
    case TJsonKind::String:
    case TJsonKind::Number: return v->Text();
    case TJsonKind::True: return std::wstring(L"true");
    case TJsonKind::False: return std::wstring(L"false");
    case TJsonKind::Null: return std::wstring();
    default: return std::nullopt;
  }
}

// The JSON object under key that a held object is stored in. A key that holds something
// else gets an empty object in its place, so the file never carries the key twice.
TJsonValue& NestedObject(TJsonValue& json, const std::wstring& key) {
  TJsonValue* found = json.Find(key);
  if (found) {
    if (!found->IsObject()) {
      CodeSite().SendWarning(L"JSON key \"" + key + L"\" holds no object; its members take their defaults");
      *found = TJsonValue::Object();
    }
    return *found;
  }
  return json.Add(key, TJsonValue::Object());
}

// Converts text, or the declared default when text is missing or does not convert.
// False when neither converts (the member then keeps its value).
bool ConvertOrDefault(const TJsonMember& m, const std::optional<std::wstring>& text, wchar_t sep, TJsonScalar& value) {
  if (text) {
    try {
      if (StrToValue(m, *text, sep, value)) return true;
    } catch (const EJsonPersist& e) {
      CodeSite().SendWarning(L"JSON member " + m.Ident + L": " + e.Message());
    }
  }
  try {
    return StrToValue(m, m.Attr.Default(), sep, value);
  } catch (const EJsonPersist&) {
    return false;
  }
}

void ReadMembers(TJsonValue& json, void* obj, const TJsonClassInfo& info, TJsonMemberPlace place, wchar_t sep) {
  for (const auto& m : info.Members) {
    if (m.Place != place) continue;
    std::wstring key = JsonKey(m.Attr);
    if (m.Kind == TJsonMemberKind::Object) {
      // A held object: its fields only, against its own JSON object.
      ReadMembers(NestedObject(json, key), m.Held(obj), *m.HeldClass, TJsonMemberPlace::Field, sep);
      continue;
    }
    TJsonScalar value;
    if (ConvertOrDefault(m, ValueText(json.Find(key)), sep, value)) m.Set(obj, value);
  }
}

void WriteMembers(TJsonValue& json, const void* obj, const TJsonClassInfo& info, TJsonMemberPlace place,
                  bool saveAll) {
  for (const auto& m : info.Members) {
    if (m.Place != place) continue;
    std::wstring key = JsonKey(m.Attr);
    if (m.Kind == TJsonMemberKind::Object) {
      // Found in place, not moved.
      WriteMembers(NestedObject(json, key), m.Held(const_cast<void*>(obj)), *m.HeldClass, TJsonMemberPlace::Field,
                   saveAll);
      continue;
    }
    if (!saveAll && !m.Attr.Save()) continue;
    if (m.Kind == TJsonMemberKind::Other) continue;  // nothing it could be written as
    TJsonScalar s = m.Get(obj);
    // Every pair of that key goes: reading takes the first one, so a duplicate left in
    // front of the written pair would bring back the old value on the next load.
    while (json.Remove(key)) {
    }
    switch (m.Kind) {
      case TJsonMemberKind::Integer:
      case TJsonMemberKind::Int64:
      case TJsonMemberKind::Byte: json.Add(key, TJsonValue::Number(std::get<long long>(s))); break;
      case TJsonMemberKind::String: json.Add(key, TJsonValue::String(std::get<std::wstring>(s))); break;
      case TJsonMemberKind::Boolean: json.Add(key, TJsonValue::Bool(std::get<bool>(s))); break;
      case TJsonMemberKind::Float: json.Add(key, TJsonValue::Number(std::get<double>(s))); break;
      case TJsonMemberKind::Set:
        json.Add(key, TJsonValue::String(SetToText(std::get<long long>(s), m.ElementNames)));
        break;
      default: break;  // other enumerations: the pair goes and nothing takes its place
    }
  }
}

void DefaultMembers(void* obj, const TJsonClassInfo& info, TJsonMemberPlace place, wchar_t sep) {
  for (const auto& m : info.Members) {
    if (m.Place != place) continue;
    if (m.Kind == TJsonMemberKind::Object) {
      JsonSetDefault(m.Held(obj), *m.HeldClass, sep);
      continue;
    }
    TJsonScalar value;
    try {
      if (StrToValue(m, m.Attr.Default(), sep, value)) m.Set(obj, value);
    } catch (const EJsonPersist&) {
    }
  }
}

}  // namespace

std::wstring JsonKey(const JsonAttr& attr) {
  const std::wstring& name = attr.Name();
  if (name.empty()) return name;
  return LowerCase(name.substr(0, 1)) + name.substr(1);
}

bool StrToValue(const TJsonMember& member, const std::wstring& text, wchar_t decimalSeparator, TJsonScalar& value) {
  switch (member.Kind) {
    case TJsonMemberKind::Integer: {
      // Text that is no integer reads as 0, not as the default: stored files rely on it.
      int v = 0;
      if (!TryStrToInt(text, v)) v = 0;
      value = static_cast<long long>(v);
      return true;
    }
    case TJsonMemberKind::Int64: {
      long long v = 0;
      if (!TryStrToInt64(text, v)) v = 0;
      value = v;
      return true;
    }
    case TJsonMemberKind::Byte: {
      int v = 0;
      if (!TryStrToInt(text, v)) v = 0;
      // A number the byte cannot hold would wrap into an arbitrary value: take the default.
      if (v < 0 || v > 255) return false;
      value = static_cast<long long>(v);
      return true;
    }
    case TJsonMemberKind::String: value = text; return true;
    case TJsonMemberKind::Boolean:
      // Only "false" is false; any other text, the empty one and numbers included, is true.
      value = !SameText(text, L"false");
      return true;
    case TJsonMemberKind::Enum:
      for (size_t i = 0; i < member.ElementNames.size(); ++i)
        if (SameText(member.ElementNames[i], text)) {
          value = static_cast<long long>(i);
          return true;
        }
      return false;
    case TJsonMemberKind::Float: {
      double v = 0;
      if (!TextToFloat(text, decimalSeparator, v)) v = 0;
      value = v;
      return true;
    }
    case TJsonMemberKind::Set: {
      std::wstring t = Trim(text);
      if (!t.empty() && t.front() == L'[' && t.back() == L']') t = t.substr(1, t.size() - 2);
      long long bits = 0;
      if (!Trim(t).empty()) {
        for (const auto& part : SplitString(t, L',')) {
          std::wstring name = Trim(part);
          size_t i = 0;
          while (i < member.ElementNames.size() && !SameText(member.ElementNames[i], name)) ++i;
          if (i == member.ElementNames.size() || i >= 64) return false;
          bits |= 1LL << i;
        }
      }
      value = bits;
      return true;
    }
    case TJsonMemberKind::Object: return false;
    default: throw EJsonPersist(L"Type not Supported");
  }
}

void JsonReadObject(TJsonValue& json, void* obj, const TJsonClassInfo& info, wchar_t decimalSeparator) {
  ReadMembers(json, obj, info, TJsonMemberPlace::Field, decimalSeparator);
  ReadMembers(json, obj, info, TJsonMemberPlace::Property, decimalSeparator);
}

void JsonWriteObject(TJsonValue& json, const void* obj, const TJsonClassInfo& info, bool saveAll) {
  WriteMembers(json, obj, info, TJsonMemberPlace::Property, saveAll);
  WriteMembers(json, obj, info, TJsonMemberPlace::Field, saveAll);
}

void JsonSetDefault(void* obj, const TJsonClassInfo& info, wchar_t decimalSeparator) {
  DefaultMembers(obj, info, TJsonMemberPlace::Property, decimalSeparator);
  DefaultMembers(obj, info, TJsonMemberPlace::Field, decimalSeparator);
}

TJsonValue JsonObjectToJson(const void* obj, const TJsonClassInfo& info) {
  TJsonValue json = TJsonValue::Object();
  for (const auto& m : info.Members) {
    if (m.Kind == TJsonMemberKind::Object) {
      json.Add(m.Ident, JsonObjectToJson(m.Held(const_cast<void*>(obj)), *m.HeldClass));
      continue;
    }
    if (m.Kind == TJsonMemberKind::Other) continue;
    TJsonScalar s = m.Get(obj);
    switch (m.Kind) {
      case TJsonMemberKind::String: json.Add(m.Ident, TJsonValue::String(std::get<std::wstring>(s))); break;
      case TJsonMemberKind::Boolean: json.Add(m.Ident, TJsonValue::Bool(std::get<bool>(s))); break;
      case TJsonMemberKind::Float: json.Add(m.Ident, TJsonValue::Number(std::get<double>(s))); break;
      case TJsonMemberKind::Enum: {
        auto i = static_cast<size_t>(std::get<long long>(s));
        json.Add(m.Ident, i < m.ElementNames.size() ? TJsonValue::String(m.ElementNames[i])
                                                    : TJsonValue::Number(std::get<long long>(s)));
        break;
      }
      case TJsonMemberKind::Set:
        json.Add(m.Ident, TJsonValue::String(SetToText(std::get<long long>(s), m.ElementNames)));
        break;
      default: json.Add(m.Ident, TJsonValue::Number(std::get<long long>(s))); break;
    }
  }
  return json;
}

void SetJsonReadRetry(TJsonReadRetry value) {
  if (value.Attempts < 1) value.Attempts = 1;
  if (value.DelayMs < 0) value.DelayMs = 0;
  g_readRetry = value;
}

TJsonReadRetry JsonReadRetry() { return g_readRetry; }

// ---- the storage --------------------------------------------------------------

TStorageBase::TStorageBase(std::wstring AFileName, const TJsonClassInfo& info)
    : FFileName(std::move(AFileName)), FJsonSrc(TJsonValue::Object()), FInfo(info) {
  fs.DecimalSeparator = LocaleDecimalSeparator();
}

TStorageBase::TLoadResult TStorageBase::ReadInto(void* obj) {
  FJsonSrc = TJsonValue::Object();
  FUnread = false;
  std::string bytes;
  TJsonReadRetry retry = JsonReadRetry();
  for (int attempt = 1;; ++attempt) {
    try {
      bytes = ReadAllBytes(FFileName);
      break;
    } catch (const EFileNotFoundException&) {
      CodeSite().Send(L"JSON file " + FFileName + L" is missing; writing the defaults");
      return TLoadResult::Rewrite;
    } catch (const EInOutError& e) {
      // The file is there but cannot be read now, most likely held by a sibling program
      // writing it. Writing the defaults over it would lose the user's settings.
      if (attempt >= retry.Attempts) {
        CodeSite().SendError(L"JSON file " + FFileName + L" cannot be read (" + e.Message() +
                             L"); working with the defaults and leaving the file as it is");
        FUnread = true;
        return TLoadResult::Unreadable;
      }
      Sleep(static_cast<DWORD>(retry.DelayMs));
    }
  }
  std::wstring reason;
  try {
    TJsonValue doc = ParseJson(DecodeTextBytes(bytes));
    if (!doc.IsObject()) throw EJsonException(L"the JSON text is not an object");
    FJsonSrc = std::move(doc);
    JsonReadObject(FJsonSrc, obj, FInfo, fs.DecimalSeparator);
    return TLoadResult::Read;
  } catch (const std::exception& e) {
    reason = ExceptionText(e);
  }
  FJsonSrc = TJsonValue::Object();
  if (bytes.empty()) {
    CodeSite().SendWarning(L"JSON file " + FFileName + L" is empty; writing the defaults");
    return TLoadResult::Rewrite;
  }
  // The defaults are about to replace the file, and with it whatever of the user's values
  // (the terminal's key, its addresses) a hand could still recover: the bytes go beside it
  // first, the newest over an older copy.
  std::wstring backup = FFileName + L".bad";
  try {
    WriteAllBytesAtomic(backup, bytes);
  } catch (const std::exception& e) {
    CodeSite().SendError(L"JSON file " + FFileName + L" is not usable (" + reason + L") and cannot be kept as " +
                         backup + L" (" + ExceptionText(e) + L"); working with the defaults and leaving the file as it is");
    FUnread = true;
    return TLoadResult::Unreadable;
  }
  CodeSite().SendWarning(L"JSON file " + FFileName + L" is not usable (" + reason + L"); its bytes are kept as " +
                         backup + L" and the defaults written");
  return TLoadResult::Rewrite;
}

void TStorageBase::WriteDefaults(void* obj, bool rewrite) {
  SetDefaultOf(obj);
  if (!rewrite) return;
  // A file that cannot be written (read-only, held open by a sibling program, a full disk)
  // must not stop the start: the defaults stay in memory and a later save tries again.
  try {
    SaveFrom(obj);
  } catch (const std::exception& e) {
    CodeSite().SendError(L"JSON file " + FFileName + L" cannot be written (" + ExceptionText(e) +
                         L"); working with the defaults in memory");
  }
}

void TStorageBase::SaveFrom(const void* obj) {
  if (FUnread)
    throw EInOutError(L"JSON file " + FFileName +
                      L" could not be read; it is not saved, so that its content is not replaced by defaults");
  JsonWriteObject(FJsonSrc, obj, FInfo, false);
  WriteAllBytesAtomic(FFileName, FormatJsonUtf8(FJsonSrc));
}

void TStorageBase::SaveAs(const std::wstring& AFileName, const void* obj, bool ASaveAll) {
  TJsonValue json = ToJsonOf(obj, ASaveAll);
  WriteAllBytesAtomic(AFileName, FormatJsonUtf8(json));
}

void TStorageBase::SetDefaultOf(void* obj) const { JsonSetDefault(obj, FInfo, fs.DecimalSeparator); }

TJsonValue TStorageBase::ToJsonOf(const void* obj, bool ASaveAll) const {
  TJsonValue json = TJsonValue::Object();
  JsonWriteObject(json, obj, FInfo, ASaveAll);
  return json;
}
