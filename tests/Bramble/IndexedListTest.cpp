// The indexed list's walk, insertion and removal rules, on a small node type
// whose identity the tests can follow. The population keeps its individuals
// in such a list; the chromosome definition and the chromosome keep arrays
// that follow the same cursor rules (ListCursor.h), checked against the list
// here.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "Bramble/IndexedList.h"
#include "Bramble/ListCursor.h"
#include "common/Random.h"

namespace {

struct Node {
  explicit Node(int node_id) : id(node_id) {}
  int id;
  std::unique_ptr<Node> next;
  Node* previous = nullptr;

  static constexpr const char* kListCurrentText = "PtrNodeCurrent != 0";
  static constexpr const char* kListNextText = "PtrNodeNext != 0";
  static constexpr const char* kListPreviousText = "PtrNodePrevious != 0";
  static constexpr const char* kListHeadText = "MbrPtrNodeHead != 0";
  std::unique_ptr<Node>& ListNext() { return next; }
  Node*& ListPrevious() { return previous; }
};

// A list owner as the library classes hold one: nodes with ids 1..length.
struct List {
  explicit List(int size) {
    for (int i = 1; i <= size; ++i)
      View().Append(std::make_unique<Node>(i));
  }
  ~List() { View().Clear(); }
  IndexedList<Node> View() { return {length, head, tail, cursor, cursor_position}; }
  Node* Locate(int position) { return View().Locate(position); }
  std::vector<int> Ids() const {
    std::vector<int> ids;
    for (const Node* n = head.get(); n != nullptr; n = n->next.get())
      ids.push_back(n->id);
    return ids;
  }

  std::int32_t length = 0;
  std::unique_ptr<Node> head;
  Node* tail = nullptr;
  Node* cursor = nullptr;
  std::int32_t cursor_position = 0;
};

using Steps = IndexedList<Node>;

long long StepsFor(List& list, int position) {
  Steps::ResetSteps();
  EXPECT_NE(list.Locate(position), nullptr);
  return Steps::Steps();
}

TEST(IndexedList, LocateTakesTheShortestRoute) {
  List list(10);
  const struct {
    int position;
    long long steps;
  } walk[] = {
      {1, 0},  {2, 1}, {3, 1},  // consecutive: one step each
      {1, 0},                   // d = 2 is not below n = 1: from the head
      {10, 0}, {8, 2},          // from the tail
      {5, 3},                   // d = 3 < 5 and < 10 - 5: back from the cursor
      {7, 2},                   // d = 2 < 3: forward from the cursor
      {3, 2},                   // d = 4 is not below 3: from the head
  };
  for (const auto& w : walk) {
    EXPECT_EQ(StepsFor(list, w.position), w.steps) << w.position;
    EXPECT_EQ(list.cursor_position, w.position);
    EXPECT_EQ(list.cursor->id, w.position);
  }
  EXPECT_EQ(list.Locate(0), nullptr);
  EXPECT_EQ(list.Locate(11), nullptr);
  EXPECT_EQ(list.cursor_position, 3);

  List long_list(1000);
  Steps::ResetSteps();
  for (int i = 1; i <= 1000; ++i)
    long_list.Locate(i);
  EXPECT_EQ(Steps::Steps(), 999);
}

TEST(IndexedList, RemovalKeepsTheCursorOnALiveNode) {
  List list(5);
  Node* n[6] = {};
  for (int i = 1; i <= 5; ++i)
    n[i] = list.Locate(i);

  list.Locate(4);
  list.View().Detach(1);  // every node moves down one place
  EXPECT_EQ(list.cursor_position, 3);
  EXPECT_EQ(StepsFor(list, 3), 0);
  EXPECT_EQ(list.Locate(3), n[4]);

  list.Locate(4);  // [2 3 4 5]: the tail under the cursor
  list.View().Detach(4);
  EXPECT_EQ(list.cursor_position, 3);
  EXPECT_EQ(list.Locate(3), n[4]);

  list.View().Detach(2);  // [2 3 4]: a middle node, cursor to n - 1
  EXPECT_EQ(list.cursor_position, 1);
  EXPECT_EQ(StepsFor(list, 1), 0);
  EXPECT_EQ(list.Locate(1), n[2]);
  EXPECT_EQ(list.Locate(2), n[4]);

  list.Locate(1);  // [2 4]: a cursor on the head moves to the new head
  list.View().Detach(1);
  EXPECT_EQ(list.cursor_position, 1);
  EXPECT_EQ(list.Locate(1), n[4]);
  list.View().Detach(1);
  EXPECT_EQ(list.cursor_position, 0);
  EXPECT_EQ(list.Locate(1), nullptr);

  // Appending to an empty list puts the cursor on the new node; later
  // appends leave it there.
  auto node = std::make_unique<Node>(7);
  Node* raw = node.get();
  list.View().Append(std::move(node));
  list.View().Append(std::make_unique<Node>(8));
  EXPECT_EQ(list.cursor_position, 1);
  EXPECT_EQ(list.Locate(1), raw);
}

TEST(IndexedList, InsertionKeepsOrMovesTheCursorNode) {
  List list(3);
  Node* third = list.Locate(3);
  list.View().InsertBefore(std::make_unique<Node>(9), 1);
  EXPECT_EQ(list.cursor_position, 4);  // the same node, one place up
  EXPECT_EQ(list.cursor, third);
  list.Locate(1);
  list.View().InsertBefore(std::make_unique<Node>(8), 3);
  EXPECT_EQ(list.cursor_position, 3);  // located, then on the new node
  EXPECT_EQ(list.cursor->id, 8);
  EXPECT_EQ(list.Ids(), (std::vector<int>{9, 1, 8, 2, 3}));
}

// Random appends, insertions, removals and look-ups on a linked list and on a
// plain array following ListCursor: the same contents and cursor positions,
// and the cursor always on the node at its position.
TEST(IndexedList, ArrayCursorRulesMatchTheLinkedList) {
  quill::SeedRand(2024);
  List list(0);
  std::vector<int> array;
  std::int32_t cursor = 0;
  int next_id = 1;
  for (int step = 0; step < 5000; ++step) {
    const int length = static_cast<int>(array.size());
    const int op = quill::Rand() % 4;
    const int position = length > 0 ? quill::Rand() % length + 1 : 0;
    if (op == 0 || length == 0) {
      list.View().Append(std::make_unique<Node>(next_id));
      cursor = list_cursor::AfterAppend(cursor, length);
      array.push_back(next_id++);
    } else if (op == 1 && length < 40) {
      list.View().InsertBefore(std::make_unique<Node>(next_id), position);
      cursor = list_cursor::AfterInsert(cursor, position);
      array.insert(array.begin() + (position - 1), next_id++);
    } else if (op == 2) {
      list.View().Detach(position);
      cursor = list_cursor::AfterRemove(cursor, position, length);
      array.erase(array.begin() + (position - 1));
    } else {
      list.Locate(position);
      cursor = position;
    }
    ASSERT_EQ(list.cursor_position, cursor) << step;
    ASSERT_EQ(list.Ids(), array) << step;
    if (cursor > 0) {
      ASSERT_EQ(list.cursor->id, array[static_cast<std::size_t>(cursor - 1)]);
    }
  }
}

}  // namespace
