#pragma once
// A list of entries with a selection, addressed by position: the plain model of the
// parameter window's list boxes.

#include <string>
#include <vector>

namespace vardell {

class ChoiceListModel {
 public:
  int Count() const { return static_cast<int>(entries_.size()); }
  const std::string& Entry(int position) const { return entries_.at(position); }
  bool IsSelected(int position) const { return selected_.at(position); }
  void Add(std::string entry);
  void Delete(int position);
  void Clear();
  void SetSelected(int position, bool selected);
  void SelectOnly(int position);  // single-choice selection of one entry
  void SelectAll();

 private:
  std::vector<std::string> entries_;
  std::vector<bool> selected_;
};

// The three column lists that a load fills.
struct ColumnLists {
  ChoiceListModel Depth;
  ChoiceListModel Id;
  ChoiceListModel DataCol;
};

}  // namespace vardell
