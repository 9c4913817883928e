// The framework collection: item order and indexes, display names, copies through
// Assign/AssignTo, and the change reports the collection hears.
#include <gtest/gtest.h>

#include <vector>

#include "platform/runtime/Exceptions.h"
#include "platform/ui/Classes.Collection.h"

namespace {

class TNote : public TCollectionItem {
public:
  using TCollectionItem::TCollectionItem;
  std::wstring ClassName() const override { return L"TNote"; }
  int Value = 0;
  void SetValue(int v) {
    Value = v;
    Changed(false);
  }

protected:
  void AssignTo(TCollectionItem* Dest) const override {
    if (auto* d = dynamic_cast<TNote*>(Dest))
      d->Value = Value;
    else
      TCollectionItem::AssignTo(Dest);
  }
};

class TNotes : public TCollection {
public:
  std::vector<TCollectionItem*> Heard;  // nullptr: all of them
  TNote* Add() { return static_cast<TNote*>(AddItem()); }

protected:
  TCollectionItem* NewItem() override { return new TNote(this); }
  void Update(TCollectionItem* Item) override { Heard.push_back(Item); }
};

}  // namespace

TEST(Collection, ItemsKnowTheirPlaceAndMove) {
  TNotes notes;
  TNote* a = notes.Add();
  TNote* b = notes.Add();
  TNote* c = notes.Add();
  EXPECT_EQ(notes.Count(), 3);
  EXPECT_EQ(c->Index(), 2);
  c->SetIndex(0);
  EXPECT_EQ(notes.GetItem(0), c);
  EXPECT_EQ(a->Index(), 1);
  b->SetIndex(99);  // clamped to the end
  EXPECT_EQ(b->Index(), 2);
  TCollectionItem* inserted = notes.Insert(1);
  EXPECT_EQ(inserted->Index(), 1);
  notes.Delete(0);
  EXPECT_EQ(notes.Count(), 3);
  EXPECT_EQ(inserted->Index(), 0);
  EXPECT_THROW(notes.GetItem(3), EArgumentOutOfRangeException);
  EXPECT_EQ(a->GetDisplayName(), L"TNote");
}

TEST(Collection, AssignCopiesThroughTheSourceAndRefusesWhatItCannotCopy) {
  TNotes notes;
  TNote* a = notes.Add();
  TNote* b = notes.Add();
  a->Value = 7;
  b->Assign(a);
  EXPECT_EQ(b->Value, 7);
  EXPECT_THROW(b->Assign(nullptr), EConvertError);
  TCollectionItem plain(nullptr);
  EXPECT_THROW(b->Assign(&plain), EConvertError);
  EXPECT_THROW(plain.Assign(a), EConvertError);
}

TEST(Collection, ChangesAreHeardUnlessAnUpdateRuns) {
  TNotes notes;
  TNote* a = notes.Add();
  notes.Heard.clear();
  a->SetValue(1);
  EXPECT_EQ(notes.Heard, (std::vector<TCollectionItem*>{a}));
  notes.Heard.clear();
  notes.BeginUpdate();
  a->SetValue(2);
  notes.Add();
  EXPECT_TRUE(notes.Heard.empty());
  notes.EndUpdate();
  EXPECT_EQ(notes.Heard, (std::vector<TCollectionItem*>{nullptr}));
}

TEST(Collection, AssigningACollectionReplacesItsItemsByCopiesAndReportsOnce) {
  TNotes source, target;
  for (int v : {3, 5}) source.Add()->Value = v;
  target.Add()->Value = 9;
  target.Heard.clear();
  target.Assign(source);
  ASSERT_EQ(target.Count(), 2);
  for (int i = 0; i < 2; ++i) {
    auto* copy = static_cast<TNote*>(target.GetItem(i));
    EXPECT_NE(copy, source.GetItem(i));
    EXPECT_EQ(copy->Collection(), &target);
    EXPECT_EQ(copy->Value, static_cast<TNote*>(source.GetItem(i))->Value);
  }
  EXPECT_EQ(target.Heard, (std::vector<TCollectionItem*>{nullptr}));
  EXPECT_EQ(source.Count(), 2);
  target.Assign(target);  // itself: nothing goes
  EXPECT_EQ(target.Count(), 2);
}
