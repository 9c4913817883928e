#pragma once
// Binds one JSON file to one class. Each persisted class lists its members in a table
// of descriptors (JsonClass()), which stands in for attributes and run-time type
// information: the member's place (property with a setter, or plain field), its kind,
// and its JsonAttr (JSON name, default text, whether an ordinary save writes it).
// The storage reads the file into a fresh object, writes members back into the very
// document it read (so keys the class does not know, and keys it reads but does not
// write, stay in the file) and sets declared defaults.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include "platform/runtime/Exceptions.h"
#include "platform/runtime/Json.h"

class JsonAttr {
public:
  JsonAttr(std::wstring AName, bool ASave) : FName(std::move(AName)), FSave(ASave) {}
  JsonAttr(std::wstring AName, std::wstring ADefault, bool ASave)
      : FName(std::move(AName)), FSave(ASave), FDefault(std::move(ADefault)) {}
  const std::wstring& Name() const { return FName; }
  bool Save() const { return FSave; }
  const std::wstring& Default() const { return FDefault; }

private:
  std::wstring FName;
  bool FSave;
  std::wstring FDefault;
};

TARVEL_DECLARE_EXCEPTION(EJsonPersist, Exception)

// ---- member descriptors ------------------------------------------------------

enum class TJsonMemberPlace { Property, Field };
// Other: a member type the storage cannot convert ("Type not Supported").
enum class TJsonMemberKind { Integer, Int64, String, Boolean, Float, Byte, Enum, Set, Object, Other };

// A scalar member's value on its way between the object and the storage. Integer kinds,
// enumeration ordinals and set bit masks travel as long long.
using TJsonScalar = std::variant<long long, std::wstring, bool, double>;

struct TJsonClassInfo;

struct TJsonMember {
  std::wstring Ident;  // the member's own identifier (logs and AsJson)
  TJsonMemberPlace Place = TJsonMemberPlace::Field;
  TJsonMemberKind Kind = TJsonMemberKind::Other;
  JsonAttr Attr{L"", false};
  std::vector<std::wstring> ElementNames;  // Enum: ordinal -> name; Set: bit -> name
  std::function<TJsonScalar(const void*)> Get;
  std::function<void(void*, const TJsonScalar&)> Set;
  // Object members: the held object and its class.
  std::function<void*(void*)> Held;
  const TJsonClassInfo* HeldClass = nullptr;
};

// Members in declaration order, own class first, then its ancestors'.
struct TJsonClassInfo {
  std::wstring Name;
  std::vector<TJsonMember> Members;
};

template <class V>
constexpr TJsonMemberKind JsonKindOf() {
  if constexpr (std::is_same_v<V, bool>) return TJsonMemberKind::Boolean;
  else if constexpr (std::is_same_v<V, std::uint8_t>) return TJsonMemberKind::Byte;
  else if constexpr (std::is_same_v<V, int>) return TJsonMemberKind::Integer;
  else if constexpr (std::is_same_v<V, long long>) return TJsonMemberKind::Int64;
  else if constexpr (std::is_same_v<V, std::wstring>) return TJsonMemberKind::String;
  else if constexpr (std::is_floating_point_v<V>) return TJsonMemberKind::Float;
  else return TJsonMemberKind::Other;
}

namespace json_persist_detail {
template <class V>
TJsonScalar ToScalar(const V& v) {
  if constexpr (std::is_same_v<V, bool>) return v;
  else if constexpr (std::is_same_v<V, std::wstring>) return v;
  else if constexpr (std::is_floating_point_v<V>) return static_cast<double>(v);
  else if constexpr (std::is_enum_v<V>) return static_cast<long long>(v);
  else if constexpr (std::is_integral_v<V>) return static_cast<long long>(v);
  else return std::wstring();
}
template <class V>
void FromScalar(const TJsonScalar& s, V& v) {
  if constexpr (std::is_same_v<V, bool>) v = std::get<bool>(s);
  else if constexpr (std::is_same_v<V, std::wstring>) v = std::get<std::wstring>(s);
  else if constexpr (std::is_floating_point_v<V>) v = static_cast<V>(std::get<double>(s));
  else if constexpr (std::is_enum_v<V> || std::is_integral_v<V>) v = static_cast<V>(std::get<long long>(s));
}
}  // namespace json_persist_detail

// A plain field of kind deduced from its type (int, long long, std::uint8_t, bool, std::wstring, double).
template <class C, class V>
TJsonMember JsonField(std::wstring ident, V C::*field, JsonAttr attr, TJsonMemberKind kind = JsonKindOf<V>()) {
  TJsonMember m;
  m.Ident = std::move(ident);
  m.Place = TJsonMemberPlace::Field;
  m.Kind = kind;
  m.Attr = std::move(attr);
  if constexpr (!std::is_class_v<V> || std::is_same_v<V, std::wstring>) {
    m.Get = [field](const void* o) { return json_persist_detail::ToScalar(static_cast<const C*>(o)->*field); };
    m.Set = [field](void* o, const TJsonScalar& s) { json_persist_detail::FromScalar(s, static_cast<C*>(o)->*field); };
  }
  return m;
}

// An enumeration field (names by ordinal) or a set field (a bit mask, names by bit).
template <class C, class V>
TJsonMember JsonEnumField(std::wstring ident, V C::*field, std::vector<std::wstring> names, JsonAttr attr) {
  TJsonMember m = JsonField(std::move(ident), field, std::move(attr), TJsonMemberKind::Enum);
  m.ElementNames = std::move(names);
  return m;
}
template <class C, class V>
TJsonMember JsonSetField(std::wstring ident, V C::*field, std::vector<std::wstring> names, JsonAttr attr) {
  TJsonMember m = JsonField(std::move(ident), field, std::move(attr), TJsonMemberKind::Set);
  m.ElementNames = std::move(names);
  return m;
}

// A property: read through a getter, written through a setter.
template <class C, class R, class A>
TJsonMember JsonProperty(std::wstring ident, R (C::*getter)() const, void (C::*setter)(A), JsonAttr attr) {
  using V = std::decay_t<R>;
  TJsonMember m;
  m.Ident = std::move(ident);
  m.Place = TJsonMemberPlace::Property;
  m.Kind = JsonKindOf<V>();
  m.Attr = std::move(attr);
  m.Get = [getter](const void* o) { return json_persist_detail::ToScalar<V>((static_cast<const C*>(o)->*getter)()); };
  m.Set = [setter](void* o, const TJsonScalar& s) {
    V v{};
    json_persist_detail::FromScalar(s, v);
    (static_cast<C*>(o)->*setter)(v);
  };
  return m;
}

// A field that holds another persisted object (a class with a static JsonClass()).
template <class C, class H>
TJsonMember JsonObjectField(std::wstring ident, H C::*field, JsonAttr attr) {
  TJsonMember m;
  m.Ident = std::move(ident);
  m.Place = TJsonMemberPlace::Field;
  m.Kind = TJsonMemberKind::Object;
  m.Attr = std::move(attr);
  m.Held = [field](void* o) -> void* { return &(static_cast<C*>(o)->*field); };
  m.HeldClass = &H::JsonClass();
  return m;
}

// ---- the conversions and passes, for any described object ------------------

// JSON key of a member: its attribute name with the first character lower-cased.
std::wstring JsonKey(const JsonAttr& attr);
// Text to a member's value by its kind; false when the text does not convert.
// Raises EJsonPersist ("Type not Supported") for a kind that has no conversion.
bool StrToValue(const TJsonMember& member, const std::wstring& text, wchar_t decimalSeparator, TJsonScalar& value);
// Reads fields, then properties, of obj from json (which may gain empty nested objects).
void JsonReadObject(TJsonValue& json, void* obj, const TJsonClassInfo& info, wchar_t decimalSeparator);
// Writes properties, then fields, of obj into json; scalar members only when saveAll or Save.
void JsonWriteObject(TJsonValue& json, const void* obj, const TJsonClassInfo& info, bool saveAll);
// Sets every tagged member (held objects included) to its declared default.
void JsonSetDefault(void* obj, const TJsonClassInfo& info, wchar_t decimalSeparator);
// Every member under its own identifier, regardless of JsonAttr.
TJsonValue JsonObjectToJson(const void* obj, const TJsonClassInfo& info);

// How long Load insists on a file that exists but cannot be read (held open by a
// sibling program that is writing it). A seam for tests.
struct TJsonReadRetry {
  int Attempts = 5;
  int DelayMs = 250;
};
void SetJsonReadRetry(TJsonReadRetry value);
TJsonReadRetry JsonReadRetry();

// ---- the storage --------------------------------------------------------------

template <class T>
class IStorage {
public:
  virtual ~IStorage() = default;
  virtual std::wstring FileName() const = 0;
  virtual void Load() = 0;
  virtual void Save() = 0;
  virtual void Save(const T& AConfig, bool Apply) = 0;
  virtual void Save(const std::wstring& AFileName, const T& AConfig, bool ASaveAll) = 0;
  virtual void SetDefault(T& AObject) = 0;
  virtual TJsonValue ToJson(const T& AObject, bool ASaveAll) = 0;
  // The held object; Load replaces it, so ask again after a Load.
  virtual T& Config() = 0;
};

// The part of the storage that does not depend on T.
class TStorageBase {
protected:
  TStorageBase(std::wstring AFileName, const TJsonClassInfo& info);
  enum class TLoadResult { Read, Rewrite, Unreadable };
  // Reads the file into obj (freshly constructed). Rewrite: the file is missing or holds no
  // JSON object (FJsonSrc is then empty); the bytes of a file that holds no JSON object are
  // kept beside it first ("<file>.bad"). Unreadable: the file exists but stayed unreadable
  // through the retries, or its bytes could not be kept; nothing may be written over it.
  TLoadResult ReadInto(void* obj);
  // Sets the defaults of a fresh object and, when asked, writes the file anew. A failed
  // write is logged, not raised: the defaults stay in memory.
  void WriteDefaults(void* obj, bool rewrite);
  void SaveFrom(const void* obj);
  void SaveAs(const std::wstring& AFileName, const void* obj, bool ASaveAll);
  void SetDefaultOf(void* obj) const;
  TJsonValue ToJsonOf(const void* obj, bool ASaveAll) const;

  struct { wchar_t DecimalSeparator; } fs;
  std::wstring FFileName;
  TJsonValue FJsonSrc;
  const TJsonClassInfo& FInfo;
  // True while the held object came from defaults because the existing file could not be
  // read: saving then would put defaults over the user's settings, so Save refuses.
  bool FUnread = false;
};

template <class T>
class TStorage final : public IStorage<T>, private TStorageBase {
public:
  explicit TStorage(std::wstring AFileName) : TStorageBase(std::move(AFileName), T::JsonClass()) { Load(); }
  static std::shared_ptr<IStorage<T>> Create(std::wstring AFileName) {
    return std::make_shared<TStorage<T>>(std::move(AFileName));
  }

  std::wstring FileName() const override { return FFileName; }
  void Load() override {
    FConfig = std::make_unique<T>();
    TLoadResult r = ReadInto(FConfig.get());
    if (r != TLoadResult::Read) {
      // Nothing half-read survives: every member starts again from its default.
      FConfig = std::make_unique<T>();
      WriteDefaults(FConfig.get(), r == TLoadResult::Rewrite);
    }
  }
  void Save() override { SaveFrom(FConfig.get()); }
  void Save(const T& AConfig, bool Apply) override {
    SaveFrom(&AConfig);
    if (Apply) Load();
  }
  void Save(const std::wstring& AFileName, const T& AConfig, bool ASaveAll) override {
    SaveAs(AFileName, &AConfig, ASaveAll);
  }
  void SetDefault(T& AObject) override { SetDefaultOf(&AObject); }
  TJsonValue ToJson(const T& AObject, bool ASaveAll) override { return ToJsonOf(&AObject, ASaveAll); }
  T& Config() override { return *FConfig; }

private:
  std::unique_ptr<T> FConfig;
};
