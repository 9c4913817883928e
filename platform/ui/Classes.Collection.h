#pragma once
// The framework's collection: an owned, ordered list of items of one class. Every item knows
// its collection and its index, names itself for the property editors (its display name),
// copies itself through Assign/AssignTo, and reports its changes to the collection, which
// hears them in Update (one item, or nullptr for all of them) unless an update is running.
#include <memory>
#include <string>
#include <vector>

class TComponent;
class TCollection;

class TCollectionItem {
public:
  // Joins the collection at its end (none: a free item).
  explicit TCollectionItem(TCollection* Collection);
  virtual ~TCollectionItem();
  TCollectionItem(const TCollectionItem&) = delete;
  TCollectionItem& operator=(const TCollectionItem&) = delete;

  virtual std::wstring ClassName() const { return L"TCollectionItem"; }
  TCollection* Collection() const { return FCollection; }
  // The place in the collection; -1 for a free item.
  int Index() const;
  // Moves the item to another place (clamped to the list).
  void SetIndex(int Value);
  // The name the item shows itself by: the class name unless a derived item knows better.
  virtual std::wstring GetDisplayName() const { return ClassName(); }

  // Takes Source's settings: the source copies itself into this item (AssignTo). A missing
  // source or one that cannot copy itself raises EConvertError.
  virtual void Assign(const TCollectionItem* Source);

protected:
  // Copies this item into Dest; the base knows no copy and raises EConvertError.
  virtual void AssignTo(TCollectionItem* Dest) const;
  // Tells the collection that this item (AllItems: every item) changed.
  void Changed(bool AllItems);

private:
  friend class TCollection;
  TCollection* FCollection = nullptr;
};

class TCollection {
public:
  explicit TCollection(TComponent* Owner = nullptr) : FOwner(Owner) {}
  virtual ~TCollection();
  TCollection(const TCollection&) = delete;
  TCollection& operator=(const TCollection&) = delete;

  // The component that owns the collection (the answer of the owner query).
  virtual TComponent* GetOwner() const { return FOwner; }
  int Count() const { return static_cast<int>(FItems.size()); }
  TCollectionItem* GetItem(int Index) const;
  // Makes a new item at the end (NewItem gives its class).
  TCollectionItem* AddItem();
  // Makes a new item at Index (clamped to the list).
  virtual TCollectionItem* Insert(int Index);
  void Delete(int Index);
  void Clear();
  int IndexOf(const TCollectionItem* Item) const;
  // Becomes a copy of Source: its items go, and each item of Source is copied into a new one
  // (Assign); one change of all is reported at the end. Items that cannot take Source's raise.
  void Assign(const TCollection& Source);

  // While an update runs, item changes are not reported; its end reports one change of all.
  void BeginUpdate() { ++FUpdateCount; }
  void EndUpdate();
  int UpdateCount() const { return FUpdateCount; }

protected:
  // The item class of the collection: a new item joined to this collection.
  virtual TCollectionItem* NewItem() = 0;
  // Hears the change of Item (nullptr: every item, or the list itself).
  virtual void Update(TCollectionItem* Item) { (void)Item; }
  void Changed(TCollectionItem* Item);

private:
  friend class TCollectionItem;
  void InsertItem(TCollectionItem* Item);
  void RemoveItem(TCollectionItem* Item);
  TComponent* FOwner;
  std::vector<TCollectionItem*> FItems;  // owned
  int FUpdateCount = 0;
};
