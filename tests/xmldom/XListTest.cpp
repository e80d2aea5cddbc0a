#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "FailureText.h"
#include "LiveObjectTest.h"
#include "runtime/Exception.h"
#include "xmldom/RefObjectList.h"
#include "xmldom/RefSlot.h"
#include "xmldom/XList.h"

namespace xmldom::testing {
namespace {

// An item that logs its destruction.
class TItem : public TRefObject {
 public:
  explicit TItem(std::string name) : name_(std::move(name)) {}
  ~TItem() override { DestructionLog().push_back(name_); }
  const std::string& Name() const { return name_; }
  using TRefObject::SetRefCount;

 private:
  std::string name_;
};

// A list that logs every hook it runs.
class TLoggingList : public TXList<TItem> {
 public:
  ~TLoggingList() override { Clear(); }
  std::vector<std::string> hooks;

 protected:
  void Inserted(TItem* item) override { hooks.push_back("Inserted " + item->Name()); }
  void Removed(TItem* item) override { hooks.push_back("Removed " + item->Name()); }
  void FreeItem(TItem* item) override {
    hooks.push_back("FreeItem " + item->Name());
    TXList::FreeItem(item);
  }
};

void ExpectListError(const std::function<void()>& action, int index) {
  EXPECT_EQ(FailureText<runtime::EListError>(action),
            "List index out of bounds (" + std::to_string(index) + ")");
}

class XListTest : public LiveObjectTest {};

TEST_F(XListTest, InsertTakesAnyIndexFromZeroToTheCount) {
  TLoggingList list;
  list.Insert(0, new TItem("b"));
  list.Insert(0, new TItem("a"));
  list.Insert(2, new TItem("d"));
  list.Insert(2, new TItem("c"));
  ASSERT_EQ(list.Count(), 4);
  EXPECT_EQ(list.Item(0)->Name(), "a");
  EXPECT_EQ(list.Item(1)->Name(), "b");
  EXPECT_EQ(list.Item(2)->Name(), "c");
  EXPECT_EQ(list.Item(3)->Name(), "d");
  EXPECT_EQ(list.IndexOf(list.Item(2)), 2);
  EXPECT_EQ(list.IndexOf(nullptr), -1);
}

TEST_F(XListTest, IndexOutsideTheListFailsWithTheIndex) {
  TLoggingList list;
  list.Insert(0, new TItem("a"));
  TItem refused("refused");
  ExpectListError([&] { list.Insert(2, &refused); }, 2);
  ExpectListError([&] { list.Insert(-1, nullptr); }, -1);
  ExpectListError([&] { list.Item(1); }, 1);
  ExpectListError([&] { list.Extract(-3); }, -3);
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(list.IndexOf(&refused), -1);
}

TEST_F(XListTest, HooksRunForItemsButNotForNothing) {
  TLoggingList list;
  list.Insert(0, nullptr);
  list.Insert(1, new TItem("a"));
  TItem* extracted = list.Extract(1);
  EXPECT_EQ(extracted->Name(), "a");
  EXPECT_EQ(list.Extract(0), nullptr);
  EXPECT_EQ(list.hooks, (std::vector<std::string>{"Inserted a", "Removed a"}));
  EXPECT_TRUE(DestructionLog().empty()) << "Extract must not destroy";
  delete extracted;
}

TEST_F(XListTest, ClearGoesFromTheLastItemToTheFirst) {
  TLoggingList list;
  list.Insert(0, new TItem("a"));
  list.Insert(1, nullptr);
  list.Insert(2, new TItem("b"));
  list.hooks.clear();
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.hooks,
            (std::vector<std::string>{"Removed b", "FreeItem b", "Removed a", "FreeItem a"}));
  EXPECT_EQ(DestructionLog(), (std::vector<std::string>{"b", "a"}));
}

TEST_F(XListTest, DestroyingTheListFreesItsItems) {
  {
    TXList<TItem> list;
    list.Insert(0, new TItem("a"));
    list.Insert(1, new TItem("b"));
  }
  EXPECT_EQ(DestructionLog(), (std::vector<std::string>{"b", "a"}));
}

class RefObjectListTest : public XListTest {};

TEST_F(RefObjectListTest, HoldsOneCountOnEachObject) {
  TRef<TItem> item = MakeRef<TItem>("a");
  {
    TRefObjectList<TItem> list;
    list.Insert(0, item.Get());
    list.Insert(1, item.Get());
    EXPECT_EQ(item->RefCount(), 3);
    list.Extract(0);
    EXPECT_EQ(item->RefCount(), 2);
  }
  EXPECT_EQ(item->RefCount(), 1);
  EXPECT_TRUE(DestructionLog().empty());
}

TEST_F(RefObjectListTest, ClearDestroysObjectsHeldOnlyByTheListLastFirst) {
  TRef<TItem> survivor = MakeRef<TItem>("kept");
  TRefObjectList<TItem> list;
  list.Insert(0, new TItem("first"));
  list.Insert(1, survivor.Get());
  list.Insert(2, new TItem("second"));
  list.Insert(3, new TItem("third"));
  list.Clear();
  EXPECT_EQ(DestructionLog(), (std::vector<std::string>{"third", "second", "first"}));
  EXPECT_EQ(survivor->RefCount(), 1);
}

TEST_F(RefObjectListTest, ExtractedObjectSurvivesOnlyWhenHeld) {
  TRefObjectList<TItem> list;
  list.Insert(0, new TItem("held"));
  list.Insert(1, new TItem("dropped"));
  list.Extract(1);
  EXPECT_EQ(DestructionLog(), std::vector<std::string>{"dropped"});
  TRef<TItem> held = list.Item(0);
  list.Extract(0);
  EXPECT_EQ(held->RefCount(), 1);
}

TEST_F(RefObjectListTest, ObjectWhoseCountCannotGrowIsNotTakenIn) {
  TRef<TItem> item = MakeRef<TItem>("full");
  item->SetRefCount(std::numeric_limits<std::int32_t>::max());
  TRefObjectList<TItem> list;
  EXPECT_THROW(list.Insert(0, item.Get()), runtime::EIntOverflow);
  EXPECT_EQ(list.Count(), 0);
  item->SetRefCount(1);
}

}  // namespace
}  // namespace xmldom::testing
