#pragma once
// Published properties: a class lists the properties that other code may read and write
// by name, the way the skin engine handles controls it knows nothing about ("Font",
// "BorderStyle", "Anchors"...).
//
// Each class registers its own properties once, naming its parent class so that the
// inherited ones are found too:
//
//   RegisterPublished<TMyButton, TButton>()
//       .Ordinal(L"Flat", [](TMyButton& b) { return int(b.Flat); },
//                [](TMyButton& b, int v) { b.Flat = v != 0; })
//       .Set(L"Anchors", {L"akLeft", L"akTop", L"akRight", L"akBottom"},
//            [](TMyButton& b) { return b.Anchors; }, [](TMyButton& b, std::uint32_t v) { b.Anchors = v; })
//       .Object<TFont>(L"Font", [](TMyButton& b) { return &b.Font; });
//
// Lookups start at the object's dynamic class (polymorphic classes) and walk up the
// registered parents. An object whose own class is not registered is looked up from the
// class its PublishedClass() names (components: the nearest class that declares itself with
// TARVEL_PUBLISHED_CLASS), else by the static type it is passed as. Property names, and
// element names in a set's text form, match without regard to case.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeindex>
#include <typeinfo>
#include <vector>

enum class TPropKind { Ordinal, Set, Object };

struct TPropInfo {
  std::wstring Name;
  TPropKind Kind = TPropKind::Ordinal;
  // Sets: the name of element i is ElementNames[i] (at most 32 elements).
  std::vector<std::wstring> ElementNames;
  // The accessors take a pointer to the class that registered the property.
  std::function<int(void*)> GetOrd;             // ordinals and sets (the set as a bit mask)
  std::function<void(void*, int)> SetOrd;       // empty for read-only properties
  std::function<void*(void*)> GetObj;           // objects: a pointer of the declared type
  std::type_index ObjectType = typeid(void);    // objects: the declared type
};

namespace published_detail {

struct TClassEntry;

// A class and the object as a pointer of that class.
struct TPublishedRef {
  std::type_index Class;
  void* Object;
};

bool IsRegistered(std::type_index cls);

// Registers (or finds) the entry of a class; parent may be typeid(void) for none.
TClassEntry& ClassEntry(std::type_index cls, std::type_index parent, void* (*upcast)(void*));
void AddProperty(TClassEntry& entry, TPropInfo info);

// A property found for an object: the info and the object as a pointer of the class that
// registered it.
struct TFound {
  const TPropInfo* Info = nullptr;
  void* Object = nullptr;
};

// Looks the name up from the dynamic class (object given as its most derived pointer),
// falling back to the static class (object given as that pointer).
TFound Find(std::type_index dynamicClass, void* dynamicObject, std::type_index staticClass,
            void* staticObject, std::wstring_view name);

// The object pointer of declared type `from` as a pointer to `to`, walking registered
// parents; nullptr when `to` is not `from` or one of its registered ancestors.
void* Upcast(void* object, std::type_index from, std::type_index to);

template <class T>
TFound FindFor(T* object, std::wstring_view name) {
  if (!object) return {};
  using U = std::remove_cv_t<T>;
  void* self = const_cast<U*>(object);
  if constexpr (std::is_polymorphic_v<U>) {
    if constexpr (requires(U* u) { u->PublishedClass(); }) {
      // A class that registered nothing itself answers with its nearest declared base.
      if (!IsRegistered(typeid(*object))) {
        TPublishedRef ref = const_cast<U*>(object)->PublishedClass();
        TFound found = Find(ref.Class, ref.Object, typeid(U), self, name);
        if (found.Info) return found;
      }
    }
    return Find(typeid(*object), dynamic_cast<void*>(const_cast<U*>(object)), typeid(U), self, name);
  } else
    return Find(typeid(U), self, typeid(U), self, name);
}

}  // namespace published_detail

// The registration of one class, returned by RegisterPublished to add properties fluently.
template <class C>
class TPublishedClass {
public:
  explicit TPublishedClass(published_detail::TClassEntry& entry) : FEntry(entry) {}

  // An ordinal property (integer, enumeration, Boolean, colour...). Without a setter it is read-only.
  template <class Get, class SetFn = std::nullptr_t>
  TPublishedClass& Ordinal(std::wstring name, Get get, SetFn set = nullptr) {
    TPropInfo info;
    info.Name = std::move(name);
    info.Kind = TPropKind::Ordinal;
    info.GetOrd = [get](void* o) { return static_cast<int>(get(*static_cast<C*>(o))); };
    if constexpr (!std::is_same_v<SetFn, std::nullptr_t>)
      info.SetOrd = [set](void* o, int v) { set(*static_cast<C*>(o), v); };
    published_detail::AddProperty(FEntry, std::move(info));
    return *this;
  }

  // A set property of up to 32 elements; bit i of the value is element i.
  template <class Get, class SetFn>
  TPublishedClass& Set(std::wstring name, std::vector<std::wstring> elementNames, Get get, SetFn set) {
    TPropInfo info;
    info.Name = std::move(name);
    info.Kind = TPropKind::Set;
    if (elementNames.size() > 32) elementNames.resize(32);
    info.ElementNames = std::move(elementNames);
    info.GetOrd = [get](void* o) { return static_cast<int>(static_cast<std::uint32_t>(get(*static_cast<C*>(o)))); };
    info.SetOrd = [set](void* o, int v) { set(*static_cast<C*>(o), static_cast<std::uint32_t>(v)); };
    published_detail::AddProperty(FEntry, std::move(info));
    return *this;
  }

  // An object property of declared type P (read-only: the engine only reads them).
  template <class P, class Get>
  TPublishedClass& Object(std::wstring name, Get get) {
    TPropInfo info;
    info.Name = std::move(name);
    info.Kind = TPropKind::Object;
    info.ObjectType = typeid(P);
    info.GetObj = [get](void* o) -> void* { return static_cast<P*>(get(*static_cast<C*>(o))); };
    published_detail::AddProperty(FEntry, std::move(info));
    return *this;
  }

private:
  published_detail::TClassEntry& FEntry;
};

// Registers class C (with its parent class Parent, or void for a root). Calling it again for
// the same class adds to the same registration; a property registered twice keeps the first.
template <class C, class Parent = void>
TPublishedClass<C> RegisterPublished() {
  void* (*upcast)(void*) = nullptr;
  if constexpr (!std::is_void_v<Parent>) {
    static_assert(std::is_base_of_v<Parent, C>, "Parent must be a base class of C");
    upcast = [](void* p) -> void* { return static_cast<Parent*>(static_cast<C*>(p)); };
  }
  return TPublishedClass<C>(published_detail::ClassEntry(typeid(C), typeid(Parent), upcast));
}

// The published property of that name of the object's class (or a parent), nullptr when none.
template <class T>
const TPropInfo* FindPropInfo(T* object, std::wstring_view name) {
  return published_detail::FindFor(object, name).Info;
}

// Reads an ordinal or set property; false (value untouched) when there is no such property.
template <class T>
bool TryGetOrdProp(T* object, std::wstring_view name, int& value) {
  auto found = published_detail::FindFor(object, name);
  if (!found.Info || found.Info->Kind == TPropKind::Object) return false;
  value = found.Info->GetOrd(found.Object);
  return true;
}

// Writes an ordinal or set property; false when there is no such writable property.
template <class T>
bool TrySetOrdProp(T* object, std::wstring_view name, int value) {
  auto found = published_detail::FindFor(object, name);
  if (!found.Info || found.Info->Kind == TPropKind::Object || !found.Info->SetOrd) return false;
  found.Info->SetOrd(found.Object, value);
  return true;
}

// Reads an object property as a P*: nullptr when there is no such property, or when its
// declared type is neither P nor a registered descendant of P.
template <class P, class T>
P* GetObjectProp(T* object, std::wstring_view name) {
  auto found = published_detail::FindFor(object, name);
  if (!found.Info || found.Info->Kind != TPropKind::Object) return nullptr;
  void* value = found.Info->GetObj(found.Object);
  if (!value) return nullptr;
  return static_cast<P*>(published_detail::Upcast(value, found.Info->ObjectType, typeid(P)));
}

// The text form of a set value: the names of its elements, in element order, separated by
// "," without blanks or brackets ("akLeft,akTop").
std::wstring SetToString(const TPropInfo& info, std::uint32_t value);
// The set value of a text form: names separated by ",", blanks around them and enclosing
// brackets allowed, empty items skipped. False (value untouched) when a name is no element.
bool StringToSet(const TPropInfo& info, std::wstring_view text, std::uint32_t& value);

// Text form of a set property; false when the object has no such set property.
template <class T>
bool TryGetSetPropText(T* object, std::wstring_view name, std::wstring& text) {
  auto found = published_detail::FindFor(object, name);
  if (!found.Info || found.Info->Kind != TPropKind::Set) return false;
  text = SetToString(*found.Info, static_cast<std::uint32_t>(found.Info->GetOrd(found.Object)));
  return true;
}

// Assigns a set property from its text form; false, with the property untouched, when there
// is no such set property or the text names an element the set does not have.
template <class T>
bool TrySetSetPropText(T* object, std::wstring_view name, std::wstring_view text) {
  auto found = published_detail::FindFor(object, name);
  if (!found.Info || found.Info->Kind != TPropKind::Set || !found.Info->SetOrd) return false;
  std::uint32_t value = 0;
  if (!StringToSet(*found.Info, text, value)) return false;
  found.Info->SetOrd(found.Object, static_cast<int>(value));
  return true;
}
