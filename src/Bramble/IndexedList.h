// The indexed list of a population's individuals.
//
// A doubly linked list addressed by 1-based position with a remembered cursor
// (the node most recently located and its position), so that visiting the
// positions 1, 2, 3, ... in order costs one link step per call and any other
// access at most half the length. The list owns its nodes through the next
// links (head owns position 1, each node owns its successor); the previous
// links, the tail and the cursor only observe.
//
// IndexedList is a view: the owning class keeps the list fields under its own
// names and hands references to them to this template, which holds the one
// implementation of the walk, insertion and removal rules. The chromosome
// definition and the chromosome keep their entries in arrays, where a
// position is reached at once; they follow the same cursor rules
// (ListCursor.h).
//
// A node type provides, to IndexedList<Node> as a friend:
//   std::unique_ptr<Node>& ListNext();  Node*& ListPrevious();
//   static constexpr const char* kListCurrentText, kListNextText,
//   kListPreviousText, kListHeadText;   (the assertion texts of its class)
#pragma once

#include <cstdint>
#include <memory>
#include <source_location>
#include <utility>

#include "common/Assert.h"

template <class Node>
class IndexedList {
 public:
  IndexedList(std::int32_t& length, std::unique_ptr<Node>& head, Node*& tail, Node*& cursor,
              std::int32_t& cursor_position)
      : length_(length),
        head_(head),
        tail_(tail),
        cursor_(cursor),
        cursor_position_(cursor_position) {}

  // Returns the node at `position`, or null outside 1..length (nothing moves
  // then). Leaves the cursor on the node found.
  Node* Locate(std::int32_t position) {
    const std::int32_t n = position;
    const std::int32_t length = length_;
    if (n <= 0 || n > length) return nullptr;
    const std::int32_t k = cursor_position_;
    const std::int32_t d = n > k ? n - k : k - n;
    Node* current = nullptr;
    if (n == k + 1) {
      current = cursor_;
      Check(current != nullptr, Node::kListCurrentText);
      current = StepForward(current);
    } else if (n == k) {
      current = cursor_;
      Check(current != nullptr, Node::kListCurrentText);
    } else if (d < n && d < length - n) {
      current = cursor_;
      Check(current != nullptr, Node::kListCurrentText);
      if (k < n) {
        for (std::int32_t i = 0; i < d; ++i)
          current = StepForward(current);
      } else {
        for (std::int32_t i = 0; i < d; ++i)
          current = StepBackward(current);
      }
    } else if (n < length - n) {
      current = head_.get();
      Check(current != nullptr, Node::kListCurrentText);
      for (std::int32_t i = 1; i < n; ++i)
        current = StepForward(current);
    } else {
      current = tail_;
      Check(current != nullptr, Node::kListCurrentText);
      for (std::int32_t i = length; i > n; --i)
        current = StepBackward(current);
    }
    cursor_ = current;
    cursor_position_ = n;
    return current;
  }

  // Links `node` (not null, unlinked) as the new tail. The cursor stays where
  // it is unless the list was empty, when it lands on the new node.
  void Append(std::unique_ptr<Node> node) {
    Node* added = node.get();
    if (length_ == 0) {
      head_ = std::move(node);
      tail_ = added;
      cursor_ = added;
      cursor_position_ = 1;
    } else {
      added->ListPrevious() = tail_;
      tail_->ListNext() = std::move(node);
      tail_ = added;
    }
    ++length_;
  }

  // Links `node` (not null, unlinked) in front of the node at `position`
  // (1..length), so that it takes that position. A cursor behind the position
  // keeps its node and moves up one place; a cursor on it moves to `node`.
  void InsertBefore(std::unique_ptr<Node> node, std::int32_t position) {
    Node* added = node.get();
    if (position == 1) {
      Check(head_ != nullptr, Node::kListHeadText);
      head_->ListPrevious() = added;
      added->ListNext() = std::move(head_);
      head_ = std::move(node);
    } else {
      Node* at = Locate(position);
      Check(at != nullptr, Node::kListCurrentText);
      Node* before = at->ListPrevious();
      Check(before != nullptr, Node::kListPreviousText);
      added->ListPrevious() = before;
      added->ListNext() = std::move(before->ListNext());
      at->ListPrevious() = added;
      before->ListNext() = std::move(node);
    }
    ++length_;
    if (position < cursor_position_) {
      ++cursor_position_;
    } else if (position == cursor_position_) {
      cursor_ = added;
    }
  }

  // Unlinks the node at `position` (1..length) and hands it over, unlinked.
  std::unique_ptr<Node> Detach(std::int32_t position) {
    const std::int32_t n = position;
    const std::int32_t length = length_;
    std::unique_ptr<Node> removed;
    if (length == 1) {
      removed = std::move(head_);
      tail_ = nullptr;
      cursor_ = nullptr;
      cursor_position_ = 0;
    } else if (n == 1) {
      removed = std::move(head_);
      head_ = std::move(removed->ListNext());
      Check(head_ != nullptr, Node::kListNextText);
      head_->ListPrevious() = nullptr;
      if (cursor_position_ == 1) {
        cursor_ = head_.get();
      } else {
        // Every later node moved down one place; the cursor keeps its node.
        --cursor_position_;
      }
    } else if (n == length) {
      Node* before = tail_->ListPrevious();
      Check(before != nullptr, Node::kListPreviousText);
      removed = std::move(before->ListNext());
      tail_ = before;
      if (cursor_position_ == length) {
        cursor_ = before;
        cursor_position_ = length - 1;
      }
    } else {
      Node* at = Locate(n);
      Check(at != nullptr, Node::kListCurrentText);
      Node* before = at->ListPrevious();
      Check(before != nullptr, Node::kListPreviousText);
      removed = std::move(before->ListNext());
      before->ListNext() = std::move(removed->ListNext());
      before->ListNext()->ListPrevious() = before;
      cursor_ = before;
      cursor_position_ = n - 1;
    }
    removed->ListPrevious() = nullptr;
    --length_;
    return removed;
  }

  // Destroys every node, from the head, without recursing along the links.
  void Clear() {
    while (length_ > 0)
      Detach(1);
  }

  // Test hook: the number of link steps taken by Locate walks so far.
  static std::int64_t Steps() { return steps_; }
  static void ResetSteps() { steps_ = 0; }

 private:
  static constexpr const char* kSourceUnit = "Bramble/Bramble10";

  // Asserts a link, reporting the line of the caller.
  static void Check(bool ok, const char* text,
                    std::source_location where = std::source_location::current()) {
    if (!ok) ::quill::AssertionFailed(text, kSourceUnit, static_cast<int>(where.line()));
  }

  static Node* StepForward(Node* node) {
    ++steps_;
    Node* next = node->ListNext().get();
    Check(next != nullptr, Node::kListNextText);
    return next;
  }

  static Node* StepBackward(Node* node) {
    ++steps_;
    Node* previous = node->ListPrevious();
    Check(previous != nullptr, Node::kListPreviousText);
    return previous;
  }

  static inline std::int64_t steps_ = 0;

  std::int32_t& length_;
  std::unique_ptr<Node>& head_;
  Node*& tail_;
  Node*& cursor_;
  std::int32_t& cursor_position_;
};
