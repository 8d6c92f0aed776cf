#include "driver/event_queue.h"

#include <utility>

#include "base/failure.h"

namespace rover {

struct EventQueue::Node {
  explicit Node(ScheduledEvent e) : event(std::move(e)) {}
  ScheduledEvent event;
  std::unique_ptr<Node> left;
  std::unique_ptr<Node> right;
};

namespace {

using NodePtr = std::unique_ptr<EventQueue::Node>;

// Removes the leftmost node along the left spine, swapping the children of
// every node on the way so the tree stays balanced. Returns the removed
// node (children empty) so delete-min can reuse it.
NodePtr leftRemove(NodePtr& tree) {
  if (!tree->left) {
    return std::move(tree);
  }
  NodePtr removed = leftRemove(tree->left);
  std::swap(tree->left, tree->right);
  return removed;
}

// Places the event held by `node` above two subtrees whose sizes differ by
// at most one (the first one being the larger).
NodePtr siftDown(NodePtr node, NodePtr first, NodePtr second) {
  const TimeValue& w = node->event.due;
  if (!first && !second) {
    return node;
  }
  if (first && !second && !first->left && !first->right) {
    if (w <= first->event.due) {
      node->left = std::move(first);
      return node;
    }
    first->left = std::move(node);
    return first;
  }
  if (!first || !second) {
    raiseKind(FailureKind::Match);  // the subtrees of a Braun tree never take this shape
  }
  if (w <= first->event.due && w <= second->event.due) {
    node->left = std::move(first);
    node->right = std::move(second);
    return node;
  }
  if (first->event.due <= second->event.due) {
    first->left = siftDown(std::move(node), std::move(first->left), std::move(first->right));
    first->right = std::move(second);
    return first;
  }
  NodePtr sifted = siftDown(std::move(node), std::move(second->left), std::move(second->right));
  second->left = std::move(first);
  second->right = std::move(sifted);
  return second;
}

}  // namespace

EventQueue::EventQueue() = default;
EventQueue::~EventQueue() = default;

void EventQueue::insert(ScheduledEvent event) {
  // Walks down one path: each node keeps the smaller of its event and the
  // carried one, and the carried event goes into the old right subtree,
  // which then becomes the left one.
  std::unique_ptr<Node>* slot = &root_;
  while (*slot) {
    Node& node = **slot;
    if (!(node.event.due < event.due)) {
      std::swap(node.event, event);
    }
    std::swap(node.left, node.right);
    slot = &node.left;
  }
  *slot = std::make_unique<Node>(std::move(event));
  ++size_;
}

const ScheduledEvent& EventQueue::min() const {
  if (!root_) raiseKind(FailureKind::Empty);
  return root_->event;
}

ScheduledEvent EventQueue::popMin() {
  if (!root_) raiseKind(FailureKind::Empty);
  ScheduledEvent top = std::move(root_->event);
  if (!root_->left) {
    root_.reset();
  } else {
    NodePtr moved = leftRemove(root_->left);
    NodePtr left = std::move(root_->left);
    NodePtr right = std::move(root_->right);
    root_ = siftDown(std::move(moved), std::move(right), std::move(left));
  }
  --size_;
  return top;
}

void EventQueue::clear() {
  root_.reset();
  size_ = 0;
}

}  // namespace rover
