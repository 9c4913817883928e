#include "platform/ui/Properties.h"

#include <windows.h>

#include <map>
#include <unordered_map>
#include <mutex>

#include "platform/runtime/Strings.h"

namespace published_detail {

TFound FindNested(const TFound& owner, std::wstring_view rest) {
  if (!owner.Info || owner.Info->Kind != TPropKind::Object || rest.empty()) return {};
  void* object = owner.Info->GetObj(owner.Object);
  if (!object) return {};
  const std::type_index type = owner.Info->ObjectType;
  if (const std::size_t dot = rest.find(L'.'); dot != std::wstring_view::npos)
    return FindNested(Find(type, object, type, object, rest.substr(0, dot)), rest.substr(dot + 1));
  return Find(type, object, type, object, rest);
}

struct TClassEntry {
  std::type_index Parent = typeid(void);
  void* (*UpcastToParent)(void*) = nullptr;
  // unique_ptr: lookups hand out pointers that later registrations must not move.
  std::vector<std::unique_ptr<TPropInfo>> Props;
};

namespace {

struct TRegistry {
  std::mutex Lock;
  // Hashed, not ordered: type_info::before of this runtime orders a class of an anonymous
  // namespace by address against other classes by name, which is no strict weak order, and
  // an ordered map then takes two classes for one.
  std::unordered_map<std::type_index, std::unique_ptr<TClassEntry>> Classes;
};

TRegistry& Registry() {
  static TRegistry registry;
  return registry;
}

bool SameName(std::wstring_view a, std::wstring_view b) {
  return a.size() == b.size() &&
         CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()),
                              TRUE) == CSTR_EQUAL;
}

const TPropInfo* OwnProperty(const TClassEntry& entry, std::wstring_view name) {
  for (const auto& p : entry.Props)
    if (SameName(p->Name, name)) return p.get();
  return nullptr;
}

TClassEntry* EntryOf(TRegistry& r, std::type_index cls) {
  auto it = r.Classes.find(cls);
  return it == r.Classes.end() ? nullptr : it->second.get();
}

// Walks from cls up its registered parents; the object pointer follows each step.
TFound FindInChain(TRegistry& r, std::type_index cls, void* object, std::wstring_view name) {
  // The depth bound only guards against a registration that names a class as its own ancestor.
  for (int depth = 0; depth < 256; ++depth) {
    TClassEntry* entry = EntryOf(r, cls);
    if (!entry) return {};
    if (const TPropInfo* info = OwnProperty(*entry, name)) return {info, object};
    if (entry->Parent == typeid(void) || !entry->UpcastToParent) return {};
    object = entry->UpcastToParent(object);
    cls = entry->Parent;
  }
  return {};
}

}  // namespace

TClassEntry& ClassEntry(std::type_index cls, std::type_index parent, void* (*upcast)(void*)) {
  TRegistry& r = Registry();
  std::lock_guard<std::mutex> guard(r.Lock);
  auto& slot = r.Classes[cls];
  if (!slot) {
    slot = std::make_unique<TClassEntry>();
    slot->Parent = parent;
    slot->UpcastToParent = upcast;
  }
  return *slot;
}

void AddProperty(TClassEntry& entry, TPropInfo info) {
  TRegistry& r = Registry();
  std::lock_guard<std::mutex> guard(r.Lock);
  if (OwnProperty(entry, info.Name)) return;
  entry.Props.push_back(std::make_unique<TPropInfo>(std::move(info)));
}

bool IsRegistered(std::type_index cls) {
  TRegistry& r = Registry();
  std::lock_guard<std::mutex> guard(r.Lock);
  return EntryOf(r, cls) != nullptr;
}

TFound Find(std::type_index dynamicClass, void* dynamicObject, std::type_index staticClass,
            void* staticObject, std::wstring_view name) {
  TRegistry& r = Registry();
  std::lock_guard<std::mutex> guard(r.Lock);
  TFound found = FindInChain(r, dynamicClass, dynamicObject, name);
  if (!found.Info && staticClass != dynamicClass) found = FindInChain(r, staticClass, staticObject, name);
  return found;
}

void* Upcast(void* object, std::type_index from, std::type_index to) {
  TRegistry& r = Registry();
  std::lock_guard<std::mutex> guard(r.Lock);
  for (int depth = 0; depth < 256 && object; ++depth) {
    if (from == to) return object;
    TClassEntry* entry = EntryOf(r, from);
    if (!entry || entry->Parent == typeid(void) || !entry->UpcastToParent) return nullptr;
    object = entry->UpcastToParent(object);
    from = entry->Parent;
  }
  return nullptr;
}

}  // namespace published_detail

std::wstring SetToString(const TPropInfo& info, std::uint32_t value) {
  std::wstring text;
  for (std::size_t i = 0; i < info.ElementNames.size() && i < 32; ++i) {
    if (!(value & (1u << i))) continue;
    if (!text.empty()) text += L',';
    text += info.ElementNames[i];
  }
  return text;
}

bool StringToSet(const TPropInfo& info, std::wstring_view text, std::uint32_t& value) {
  std::wstring body = Trim(text);
  if (body.size() >= 2 && body.front() == L'[' && body.back() == L']') body = body.substr(1, body.size() - 2);
  std::uint32_t result = 0;
  for (const std::wstring& item : SplitString(body, L',')) {
    std::wstring name = Trim(item);
    if (name.empty()) continue;
    bool known = false;
    for (std::size_t i = 0; i < info.ElementNames.size() && i < 32; ++i) {
      const std::wstring& element = info.ElementNames[i];
      if (element.size() == name.size() &&
          CompareStringOrdinal(element.data(), static_cast<int>(element.size()), name.data(),
                               static_cast<int>(name.size()), TRUE) == CSTR_EQUAL) {
        result |= 1u << i;
        known = true;
        break;
      }
    }
    if (!known) return false;
  }
  value = result;
  return true;
}
