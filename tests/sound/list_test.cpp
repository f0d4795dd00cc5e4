#include <gtest/gtest.h>

#include <vector>

#include "sound/module.h"

namespace {

std::vector<ListNode*> Walk(ListNode* head) {
    std::vector<ListNode*> forward;
    for (ListNode* n = head->next; n != head; n = n->next) forward.push_back(n);
    std::vector<ListNode*> backward;
    for (ListNode* n = head->prev; n != head; n = n->prev) backward.insert(backward.begin(), n);
    EXPECT_EQ(forward, backward) << "the two directions disagree";
    return forward;
}

TEST(CircularList, InsertBeforeHeadAppendsAndUnlinkRemoves) {
    ListNode head;
    ListMakeSelfLinked(&head);
    ListNode a, b, c;
    ListInsertBefore(&a, &head);
    ListInsertBefore(&b, &head);
    ListInsertBefore(&c, &b);
    EXPECT_EQ(Walk(&head), (std::vector<ListNode*>{&a, &c, &b}));

    ListUnlink(&c);
    EXPECT_EQ(Walk(&head), (std::vector<ListNode*>{&a, &b}));
    EXPECT_EQ(c.next, &c);
    EXPECT_EQ(c.prev, &c);

    // Unlinking a self-linked node changes nothing, neither the node nor the list.
    ListUnlink(&c);
    EXPECT_EQ(c.next, &c);
    EXPECT_EQ(Walk(&head), (std::vector<ListNode*>{&a, &b}));

    ListUnlink(&a);
    ListUnlink(&b);
    EXPECT_TRUE(Walk(&head).empty());
    EXPECT_EQ(head.next, &head);
    EXPECT_EQ(head.prev, &head);
}

}  // namespace
