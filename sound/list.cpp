#include "sound/module.h"

void ListMakeSelfLinked(ListNode* node) {
    node->next = node;
    node->prev = node;
}

void ListInsertBefore(ListNode* node, ListNode* before) {
    node->next = before;
    node->prev = before->prev;
    before->prev = node;
    node->prev->next = node;
}

void ListUnlink(ListNode* node) {
    node->prev->next = node->next;
    node->next->prev = node->prev;
    ListMakeSelfLinked(node);
}
