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

enum class TPropKind { Ordinal, Set, Object, Event };

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
  // Events (a std::function member): its address, whether it is assigned, and its type.
  std::function<void*(void*)> GetEvent;
  std::function<bool(void*)> EventAssigned;
  std::function<void(void*)> ClearEvent;
  std::type_index EventType = typeid(void);
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

// The rest of a dotted name ("Font.Color": "Color") on the object the first part names; an
// empty result when a part is no object property or its object is missing.
TFound FindNested(const TFound& owner, std::wstring_view rest);

template <class T>
TFound FindFor(T* object, std::wstring_view name) {
  if (!object) return {};
  // A dotted name reaches the properties of a nested object ("Font.Color").
  if (const std::size_t dot = name.find(L'.'); dot != std::wstring_view::npos)
    return FindNested(FindFor(object, name.substr(0, dot)), name.substr(dot + 1));
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

  // An event property: a std::function member, reached through Get (returning a reference
  // to it), assignable, testable and clearable by name.
  template <class E, class Get>
  TPublishedClass& Event(std::wstring name, Get get) {
    TPropInfo info;
    info.Name = std::move(name);
    info.Kind = TPropKind::Event;
    info.EventType = typeid(E);
    info.GetEvent = [get](void* o) -> void* { return static_cast<E*>(&get(*static_cast<C*>(o))); };
    info.EventAssigned = [get](void* o) { return static_cast<bool>(get(*static_cast<C*>(o))); };
    info.ClearEvent = [get](void* o) { get(*static_cast<C*>(o)) = nullptr; };
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
  if (!found.Info || !found.Info->GetOrd) return false;
  value = found.Info->GetOrd(found.Object);
  return true;
}

// Writes an ordinal or set property; false when there is no such writable property.
template <class T>
bool TrySetOrdProp(T* object, std::wstring_view name, int value) {
  auto found = published_detail::FindFor(object, name);
  if (!found.Info || !found.Info->GetOrd || !found.Info->SetOrd) return false;
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

// ---- event properties ----
// Whether the object has an event property of that name with a handler assigned.
template <class T>
bool IsEventAssigned(T* object, std::wstring_view name) {
  auto found = published_detail::FindFor(object, name);
  return found.Info && found.Info->Kind == TPropKind::Event && found.Info->EventAssigned(found.Object);
}
// Clears the handler of an event property; false when there is no such event.
template <class T>
bool ClearEventProp(T* object, std::wstring_view name) {
  auto found = published_detail::FindFor(object, name);
  if (!found.Info || found.Info->Kind != TPropKind::Event) return false;
  found.Info->ClearEvent(found.Object);
  return true;
}
// The event property as its declared std::function type E; nullptr when there is no such
// event or its type is another.
template <class E, class T>
E* EventProp(T* object, std::wstring_view name) {
  auto found = published_detail::FindFor(object, name);
  if (!found.Info || found.Info->Kind != TPropKind::Event || found.Info->EventType != typeid(E)) return nullptr;
  return static_cast<E*>(found.Info->GetEvent(found.Object));
}
// Assigns a handler to an event property of type E; false (nothing assigned) when there is
// no such event or its type is another.
template <class E, class T>
bool AssignEventProp(T* object, std::wstring_view name, E handler) {
  E* event = EventProp<E>(object, name);
  if (!event) return false;
  *event = std::move(handler);
  return true;
}
