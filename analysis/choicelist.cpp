#include "analysis/choicelist.h"

namespace vardell {

void ChoiceListModel::Add(std::string entry) {
  entries_.push_back(std::move(entry));
  selected_.push_back(false);
}

void ChoiceListModel::Delete(int position) {
  entries_.erase(entries_.begin() + position);
  selected_.erase(selected_.begin() + position);
}

void ChoiceListModel::Clear() {
  entries_.clear();
  selected_.clear();
}

void ChoiceListModel::SetSelected(int position, bool selected) {
  selected_.at(position) = selected;
}

void ChoiceListModel::SelectOnly(int position) {
  selected_.assign(selected_.size(), false);
  selected_.at(position) = true;
}

void ChoiceListModel::SelectAll() { selected_.assign(selected_.size(), true); }

}  // namespace vardell
