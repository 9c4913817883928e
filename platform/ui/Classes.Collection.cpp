#include "platform/ui/Classes.Collection.h"

#include <algorithm>

#include "platform/runtime/Exceptions.h"

TCollectionItem::TCollectionItem(TCollection* Collection) {
  if (Collection) Collection->InsertItem(this);
}

TCollectionItem::~TCollectionItem() {
  if (FCollection) FCollection->RemoveItem(this);
}

int TCollectionItem::Index() const { return FCollection ? FCollection->IndexOf(this) : -1; }

void TCollectionItem::SetIndex(int Value) {
  const int cur = Index();
  if (cur < 0) return;
  auto& items = FCollection->FItems;
  const int last = static_cast<int>(items.size()) - 1;
  Value = std::clamp(Value, 0, last);
  if (Value == cur) return;
  items.erase(items.begin() + cur);
  items.insert(items.begin() + Value, this);
  Changed(true);
}

void TCollectionItem::Assign(const TCollectionItem* Source) {
  if (!Source) throw EConvertError(L"Cannot assign a nil to a " + ClassName());
  Source->AssignTo(this);
}

void TCollectionItem::AssignTo(TCollectionItem* Dest) const {
  throw EConvertError(L"Cannot assign a " + ClassName() + L" to a " + (Dest ? Dest->ClassName() : L"nil"));
}

void TCollectionItem::Changed(bool AllItems) {
  if (FCollection && FCollection->FUpdateCount == 0) FCollection->Changed(AllItems ? nullptr : this);
}

TCollection::~TCollection() { Clear(); }

TCollectionItem* TCollection::GetItem(int Index) const {
  if (Index < 0 || Index >= Count()) throw EArgumentOutOfRangeException(L"List index out of bounds");
  return FItems[static_cast<std::size_t>(Index)];
}

TCollectionItem* TCollection::AddItem() { return NewItem(); }

TCollectionItem* TCollection::Insert(int Index) {
  TCollectionItem* item = NewItem();
  item->SetIndex(Index);
  return item;
}

void TCollection::Delete(int Index) { delete GetItem(Index); }

void TCollection::Clear() {
  if (FItems.empty()) return;
  BeginUpdate();
  // The last made goes first; each item leaves the list in its destructor.
  while (!FItems.empty()) delete FItems.back();
  EndUpdate();
}

void TCollection::Assign(const TCollection& Source) {
  if (&Source == this) return;
  BeginUpdate();
  try {
    Clear();
    for (const TCollectionItem* item : Source.FItems) AddItem()->Assign(item);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

int TCollection::IndexOf(const TCollectionItem* Item) const {
  const auto it = std::find(FItems.begin(), FItems.end(), Item);
  return it == FItems.end() ? -1 : static_cast<int>(it - FItems.begin());
}

void TCollection::EndUpdate() {
  if (FUpdateCount > 0 && --FUpdateCount == 0) Changed(nullptr);
}

void TCollection::Changed(TCollectionItem* Item) {
  if (FUpdateCount == 0) Update(Item);
}

void TCollection::InsertItem(TCollectionItem* Item) {
  FItems.push_back(Item);
  Item->FCollection = this;
  Changed(nullptr);
}

void TCollection::RemoveItem(TCollectionItem* Item) {
  const auto it = std::find(FItems.begin(), FItems.end(), Item);
  if (it == FItems.end()) return;
  FItems.erase(it);
  Item->FCollection = nullptr;
  Changed(nullptr);
}
