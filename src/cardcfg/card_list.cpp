#include "cardcfg/cardlist.h"

namespace kvl {

int remove_card_at(CardList &list, int index) {
  if (index < 0 || index >= list.count) return -1;
  for (int i = index; i + 1 < list.count; i++) list.cards[i] = list.cards[i + 1];
  list.cards[--list.count] = ConfiguredCard{};
  return 0;
}

int permute_cards(CardList &list, const int *order, int n) {
  if (n != list.count || (n > 0 && !order)) return -1;
  bool seen[MAX_CARDS] = {};
  for (int i = 0; i < n; i++) {
    if (order[i] < 0 || order[i] >= n || seen[order[i]]) return -1;
    seen[order[i]] = true;
  }
  CardList old = list;
  for (int i = 0; i < n; i++) list.cards[i] = old.cards[order[i]];
  return 0;
}

}  // namespace kvl
