#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "FailureText.h"
#include "LiveObjectTest.h"
#include "runtime/Exception.h"
#include "xmldom/RefObject.h"
#include "xmldom/RefSlot.h"

namespace xmldom::testing {
namespace {

// A counted object that logs its destruction, may keep another object alive, and can be told to
// take and give back a count on itself while it is being destroyed.
class TCountedProbe : public TRefObject {
 public:
  explicit TCountedProbe(std::string name, TRefObject* kept = nullptr)
      : name_(std::move(name)), kept_(kept) {}

  ~TCountedProbe() override {
    countInDestructor = RefCount();
    if (holdsItselfWhenDestroyed) {
      TRef<TCountedProbe> self = this;
    }
    DestructionLog().push_back(name_);
  }

  using TRefObject::SetRefCount;

  bool holdsItselfWhenDestroyed = false;
  static inline std::int32_t countInDestructor = 0;

 private:
  std::string name_;
  TRef<TRefObject> kept_;
};

class RefObjectTest : public LiveObjectTest {};

TEST_F(RefObjectTest, NewObjectIsOwnedByNobodyAndTheLastReleaseDestroysIt) {
  auto* probe = new TCountedProbe("p");
  EXPECT_EQ(probe->RefCount(), 0);
  AddRef(probe);
  AddRef(probe);
  Release(probe);
  EXPECT_EQ(probe->RefCount(), 1);
  EXPECT_TRUE(DestructionLog().empty());
  Release(probe);
  EXPECT_EQ(DestructionLog(), std::vector<std::string>{"p"});
  EXPECT_EQ(TCountedProbe::countInDestructor, 1);
}

TEST_F(RefObjectTest, ReleaseWithoutAddRefGoesBelowZeroWithoutDestroying) {
  auto* probe = new TCountedProbe("p");
  Release(probe);
  EXPECT_EQ(probe->RefCount(), -1);
  EXPECT_TRUE(DestructionLog().empty());
  AddRef(probe);
  AddRef(probe);
  Release(probe);
  EXPECT_EQ(DestructionLog(), std::vector<std::string>{"p"});
}

TEST_F(RefObjectTest, NothingIsAcceptedAndIgnored) {
  AddRef(nullptr);
  Release(nullptr);
  TCountedProbe* slot = nullptr;
  Drop(slot);
  EXPECT_FALSE(Hold(slot, nullptr));
  EXPECT_FALSE(Reassign(slot, nullptr));
  EXPECT_EQ(slot, nullptr);
}

TEST_F(RefObjectTest, DestructorThatHoldsItsOwnObjectDestroysItOnce) {
  auto* probe = new TCountedProbe("self");
  probe->holdsItselfWhenDestroyed = true;
  AddRef(probe);
  Release(probe);
  EXPECT_EQ(DestructionLog(), std::vector<std::string>{"self"});
}

TEST_F(RefObjectTest, CountOverflowFailsAndLeavesTheCountAsItWas) {
  TRef<TCountedProbe> probe = MakeRef<TCountedProbe>("p");
  const std::int32_t highest = std::numeric_limits<std::int32_t>::max();
  const std::int32_t lowest = std::numeric_limits<std::int32_t>::min();

  probe->SetRefCount(highest);
  EXPECT_EQ(FailureText<runtime::EIntOverflow>([&] { AddRef(probe.Get()); }), "Integer overflow");
  EXPECT_EQ(probe->RefCount(), highest);

  probe->SetRefCount(lowest);
  EXPECT_THROW(Release(probe.Get()), runtime::EIntOverflow);
  EXPECT_EQ(probe->RefCount(), lowest);

  probe->SetRefCount(1);
}

class SlotTest : public RefObjectTest {};

TEST_F(SlotTest, HoldTakesOneCountAndDropGivesItBack) {
  TRef<TCountedProbe> owner = MakeRef<TCountedProbe>("p");
  TCountedProbe* slot = nullptr;
  EXPECT_TRUE(Hold(slot, owner.Get()));
  EXPECT_EQ(slot, owner.Get());
  EXPECT_EQ(owner->RefCount(), 2);
  Drop(slot);
  EXPECT_EQ(slot, nullptr);
  EXPECT_EQ(owner->RefCount(), 1);
}

TEST_F(SlotTest, ReassignToTheHeldObjectChangesNothing) {
  TRef<TCountedProbe> owner = MakeRef<TCountedProbe>("p");
  TCountedProbe* slot = nullptr;
  Hold(slot, owner.Get());
  EXPECT_FALSE(Reassign(slot, owner.Get()));
  EXPECT_EQ(owner->RefCount(), 2);
  Drop(slot);
}

TEST_F(SlotTest, ReassignReleasesTheOldObjectAndCountsTheNewOne) {
  TCountedProbe* slot = nullptr;
  Hold(slot, new TCountedProbe("old"));
  TRef<TCountedProbe> replacement = MakeRef<TCountedProbe>("new");
  EXPECT_TRUE(Reassign(slot, replacement.Get()));
  EXPECT_EQ(DestructionLog(), std::vector<std::string>{"old"});
  EXPECT_EQ(replacement->RefCount(), 2);
  Drop(slot);
}

TEST_F(SlotTest, ReassignToAnObjectThatOnlyTheOldOneKeepsAlive) {
  // The walk from an object to the one it owns, through one slot.
  auto* inner = new TCountedProbe("inner");
  TCountedProbe* slot = nullptr;
  Hold(slot, new TCountedProbe("outer", inner));
  Reassign(slot, inner);
  EXPECT_EQ(DestructionLog(), std::vector<std::string>{"outer"});
  EXPECT_EQ(inner->RefCount(), 1);
  Drop(slot);
  EXPECT_EQ(DestructionLog(), (std::vector<std::string>{"outer", "inner"}));
}

TEST_F(SlotTest, HolderGivesItsCountBackWhenAFailureLeavesTheScope) {
  auto* probe = new TCountedProbe("p");
  TRef<TCountedProbe> owner = probe;
  try {
    TRef<TCountedProbe> held = owner;
    TRef<TRefObject> base = held;
    EXPECT_EQ(probe->RefCount(), 3);
    throw std::runtime_error("escape");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(probe->RefCount(), 1);
  owner = nullptr;
  EXPECT_EQ(DestructionLog(), std::vector<std::string>{"p"});
}

TEST_F(SlotTest, HolderMovesWithoutTouchingTheCount) {
  TRef<TCountedProbe> first = MakeRef<TCountedProbe>("p");
  TCountedProbe* object = first.Get();
  TRef<TCountedProbe> second = std::move(first);
  TRef<TRefObject> third = std::move(second);
  EXPECT_EQ(object->RefCount(), 1);
  EXPECT_EQ(third.Get(), object);

  TRef<TRefObject> other = MakeRef<TCountedProbe>("q");
  other = std::move(third);
  EXPECT_EQ(DestructionLog(), std::vector<std::string>{"q"});
  EXPECT_EQ(object->RefCount(), 1);
}

}  // namespace
}  // namespace xmldom::testing
