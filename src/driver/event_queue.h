#pragma once

#include <cstddef>
#include <memory>

#include "base/time_value.h"

namespace rover {

// The kinds of scheduled work.
enum class ActionKind {
  StartRound,
  PhysicsTick,
  MartianTick,
  TelemetryTick,
  CommandPoll,
  TelemetryNow,
  TimeLimit
};

// What an event does, and the run it belongs to (0 before the first run), so
// that work left over from an earlier run can be recognised and dropped.
struct Action {
  ActionKind kind = ActionKind::StartRound;
  int round = 0;
};

struct ScheduledEvent {
  TimeValue due;
  Action action;
};

// The server's one schedule: a priority queue on due times kept as a Braun
// tree (every left subtree has as many nodes as its right sibling or one
// more). The tree's insert and delete-min rules fix the order in which
// events with equal due times come out, which the clients can observe, so
// this is not interchangeable with another heap.
class EventQueue {
 public:
  EventQueue();
  ~EventQueue();
  EventQueue(const EventQueue&) = delete;
  EventQueue& operator=(const EventQueue&) = delete;

  // Adds an event; equal due times are ordered by the tree's rules.
  void insert(ScheduledEvent event);
  bool empty() const { return root_ == nullptr; }
  std::size_t size() const { return size_; }
  // The event with the smallest due time; kind "Empty" on an empty queue.
  const ScheduledEvent& min() const;
  // Removes and returns the event with the smallest due time; kind "Empty" on an empty queue.
  ScheduledEvent popMin();
  // Drops every event.
  void clear();

  struct Node;

 private:
  std::unique_ptr<Node> root_;
  std::size_t size_ = 0;
};

}  // namespace rover
