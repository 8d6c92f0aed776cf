#include "driver/event_queue.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "base/failure.h"

namespace rover {
namespace {

// Events are told apart by their round field, used here as an id.
ScheduledEvent event(std::int64_t dueMillis, int id) {
  return {TimeValue::fromMillis(dueMillis), {ActionKind::PhysicsTick, id}};
}

std::vector<int> drain(EventQueue& queue) {
  std::vector<int> ids;
  while (!queue.empty()) ids.push_back(queue.popMin().action.round);
  return ids;
}

// The tree rules written out literally, as persistent trees, to compare the
// in-place queue with on long random sequences.
struct Tree {
  ScheduledEvent e;
  std::shared_ptr<const Tree> l, r;
};
using T = std::shared_ptr<const Tree>;

T node(ScheduledEvent e, T l, T r) {
  return std::make_shared<const Tree>(Tree{std::move(e), std::move(l), std::move(r)});
}

T insert(const ScheduledEvent& e, const T& t) {
  if (!t) return node(e, nullptr, nullptr);
  if (t->e.due < e.due) return node(t->e, insert(e, t->r), t->l);
  return node(e, insert(t->e, t->r), t->l);
}

std::pair<ScheduledEvent, T> leftrem(const T& t) {
  if (!t->l) return {t->e, nullptr};
  auto [y, l2] = leftrem(t->l);
  return {y, node(t->e, t->r, l2)};
}

T siftdown(const ScheduledEvent& w, const T& t1, const T& t2) {
  if (!t1 && !t2) return node(w, nullptr, nullptr);
  if (t1 && !t1->l && !t1->r && !t2) {
    if (w.due <= t1->e.due) return node(w, t1, nullptr);
    return node(t1->e, node(w, nullptr, nullptr), nullptr);
  }
  if (w.due <= t1->e.due && w.due <= t2->e.due) return node(w, t1, t2);
  if (t1->e.due <= t2->e.due) return node(t1->e, siftdown(w, t1->l, t1->r), t2);
  return node(t2->e, t1, siftdown(w, t2->l, t2->r));
}

T deleteMin(const T& t) {
  if (!t->l) return nullptr;
  auto [w, rest] = leftrem(t->l);
  return siftdown(w, t->r, rest);
}

TEST(EventQueue, EqualDueTimesFollowTheTreeRules) {
  // Worked by hand from the rules: inserting A..E (ids 1..5) at one due time
  // builds E(D(B,-), C(A,-)); delete-min then yields E, B, A, D, C.
  EventQueue queue;
  for (int id = 1; id <= 5; ++id) queue.insert(event(0, id));
  EXPECT_EQ(drain(queue), (std::vector<int>{5, 2, 1, 4, 3}));
}

TEST(EventQueue, RunScheduleWithZeroLimitPutsTheTimeLimitFirst) {
  // The per-run insertion order: telemetry 0, poll 50, Martians 10,
  // physics 10, time limit 0. By the tree rules the time limit (id 5) comes
  // out before the telemetry (id 1) when both are due at once, and the first
  // Martian decision (id 3) before the first physics step (id 4).
  EventQueue queue;
  queue.insert(event(0, 1));
  queue.insert(event(50, 2));
  queue.insert(event(10, 3));
  queue.insert(event(10, 4));
  queue.insert(event(0, 5));
  EXPECT_EQ(drain(queue), (std::vector<int>{5, 1, 3, 4, 2}));
}

TEST(EventQueue, PopsInDueOrder) {
  EventQueue queue;
  const std::vector<std::int64_t> dues = {50, -20, 7, 1000000, 7, 0, 33, -21};
  for (std::size_t i = 0; i < dues.size(); ++i) queue.insert(event(dues[i], static_cast<int>(i)));
  EXPECT_EQ(queue.size(), dues.size());
  std::vector<std::int64_t> popped;
  while (!queue.empty())
    popped.push_back(static_cast<std::int64_t>(queue.popMin().due.wholeMillis().get_si()));
  EXPECT_EQ(popped, (std::vector<std::int64_t>{-21, -20, 0, 7, 7, 33, 50, 1000000}));
}

TEST(EventQueue, MatchesTheLiteralRulesOnMixedInsertsAndDeletes) {
  std::mt19937 random(12345);
  for (int round = 0; round < 50; ++round) {
    EventQueue queue;
    T model;
    int nextId = 0;
    for (int op = 0; op < 400; ++op) {
      // Few distinct due times, so ties are everywhere.
      if (!model || random() % 3 != 0) {
        const ScheduledEvent e = event(static_cast<std::int64_t>(random() % 6), nextId++);
        queue.insert(e);
        model = insert(e, model);
      } else {
        ASSERT_EQ(queue.min().action.round, model->e.action.round);
        ASSERT_EQ(queue.popMin().action.round, model->e.action.round);
        model = deleteMin(model);
      }
    }
    while (model) {
      ASSERT_EQ(queue.popMin().action.round, model->e.action.round);
      model = deleteMin(model);
    }
    EXPECT_TRUE(queue.empty());
  }
}

TEST(EventQueue, EmptyQueueAndClear) {
  EventQueue queue;
  EXPECT_THROW(queue.min(), Failure);
  EXPECT_THROW(queue.popMin(), Failure);
  for (int id = 0; id < 100; ++id) queue.insert(event(id % 7, id));
  queue.clear();
  EXPECT_TRUE(queue.empty());
  EXPECT_EQ(queue.size(), 0u);
  queue.insert(event(3, 7));
  EXPECT_EQ(queue.popMin().action.round, 7);
}

TEST(EventQueue, HugeDueTimesKeepTheirOrder) {
  EventQueue queue;
  const mpz_class big("1000000000000000000000000000000");
  queue.insert({TimeValue::fromMillis(big), {ActionKind::TimeLimit, 1}});
  queue.insert({TimeValue::fromMillis(big - 1), {ActionKind::TimeLimit, 2}});
  queue.insert(event(5, 3));
  EXPECT_EQ(drain(queue), (std::vector<int>{3, 2, 1}));
}

}  // namespace
}  // namespace rover
