#pragma once
// A small chart of the broken-stick table: the reduction of dispersion observed at each
// number of zones against the broken-stick expectation, with the suggestion marked.

#include <QWidget>
#include <vector>

#include "engine/zonation.h"

namespace vardell {

// The rows a chart shows: g = 2 up to this many zones.
constexpr int ChartedGroups = 15;

class BrokenStickChart : public QWidget {
  Q_OBJECT
 public:
  explicit BrokenStickChart(QWidget* parent = nullptr);
  void SetTable(const BrokenStick& stick);
  const std::vector<BrokenStickRow>& Rows() const { return rows_; }
  QSize sizeHint() const override { return {400, 170}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::vector<BrokenStickRow> rows_;  // g = 2..min(15, m)
  int suggestion_ = 1;
};

}  // namespace vardell
