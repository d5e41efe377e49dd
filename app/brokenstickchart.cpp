#include "app/brokenstickchart.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace vardell {
namespace {

constexpr int LeftMargin = 46, RightMargin = 10, TopMargin = 22, BottomMargin = 30;

// A round step for the value axis: 1, 2 or 5 times a power of ten, about four to a chart.
double AxisStep(double largest) {
  if (!(largest > 0) || !std::isfinite(largest)) return 1;
  const double rough = largest / 4;
  const double power = std::pow(10.0, std::floor(std::log10(rough)));
  for (double factor : {1.0, 2.0, 5.0})
    if (factor * power >= rough) return factor * power;
  return 10 * power;
}

QString AxisNumber(double value) { return QString::number(value, 'g', 6); }

}  // namespace

BrokenStickChart::BrokenStickChart(QWidget* parent) : QWidget(parent) {
  setMinimumSize(320, 150);
  setToolTip(QStringLiteral(
      "Reduction of dispersion gained by each further zone, against the broken-stick model"));
}

void BrokenStickChart::SetTable(const BrokenStick& stick) {
  const std::size_t shown = std::min<std::size_t>(stick.Rows.size(), ChartedGroups - 1);
  rows_.assign(stick.Rows.begin(), stick.Rows.begin() + static_cast<long>(shown));
  suggestion_ = stick.Suggestion;
  update();
}

void BrokenStickChart::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().base());
  if (rows_.empty()) return;
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF plot(LeftMargin, TopMargin, width() - LeftMargin - RightMargin,
                    height() - TopMargin - BottomMargin);
  double largest = 0;
  for (const BrokenStickRow& row : rows_)
    largest = std::max({largest, row.Reduction, row.Expected});
  const double step = AxisStep(largest);
  const double top = step * std::max(1.0, std::ceil(largest / step));
  const int first = rows_.front().Groups, last = rows_.back().Groups;
  const auto at = [&](int g, double value) {
    const double x = last > first ? plot.left() + plot.width() * (g - first) / (last - first)
                                  : plot.center().x();
    return QPointF(x, plot.bottom() - plot.height() * std::clamp(value / top, 0.0, 1.0));
  };

  // Axes, value lines and the number of zones under each point.
  const QFontMetrics metrics(font());
  painter.setPen(palette().color(QPalette::Mid));
  for (double v = 0; v <= top * (1 + 1e-9); v += step) {
    const QPointF left = at(first, v);
    painter.drawLine(QPointF(plot.left(), left.y()), QPointF(plot.right(), left.y()));
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(QRectF(0, left.y() - metrics.height() / 2.0, LeftMargin - 4, metrics.height()),
                     Qt::AlignRight | Qt::AlignVCenter, AxisNumber(v));
    painter.setPen(palette().color(QPalette::Mid));
  }
  painter.setPen(palette().color(QPalette::Text));
  for (const BrokenStickRow& row : rows_) {
    const QPointF p = at(row.Groups, 0);
    painter.drawText(QRectF(p.x() - 12, plot.bottom() + 2, 24, metrics.height()),
                     Qt::AlignHCenter | Qt::AlignTop, QString::number(row.Groups));
  }
  painter.drawText(QRectF(plot.left(), height() - metrics.height(), plot.width(), metrics.height()),
                   Qt::AlignHCenter, QStringLiteral("Number of zones"));

  // The suggestion: a shaded band up to it.
  if (suggestion_ >= first) {
    const QPointF s = at(std::min(suggestion_, last), 0);
    painter.fillRect(QRectF(plot.left(), plot.top(), s.x() - plot.left() + 1, plot.height()),
                     QColor(0, 120, 215, 28));
    painter.setPen(QPen(QColor(0, 90, 180), 1, Qt::DotLine));
    painter.drawLine(QPointF(s.x(), plot.top()), QPointF(s.x(), plot.bottom()));
  }

  // The two series: observed reductions solid with dots, the expectation dashed.
  QPainterPath observed, expected;
  for (const BrokenStickRow& row : rows_) {
    const QPointF r = at(row.Groups, row.Reduction);
    const QPointF e = at(row.Groups, row.Expected);
    if (row.Groups == first)
      observed.moveTo(r), expected.moveTo(e);
    else
      observed.lineTo(r), expected.lineTo(e);
  }
  painter.setPen(QPen(QColor(140, 140, 140), 1.5, Qt::DashLine));
  painter.drawPath(expected);
  painter.setPen(QPen(QColor(0, 90, 180), 1.5));
  painter.drawPath(observed);
  painter.setBrush(QColor(0, 90, 180));
  for (const BrokenStickRow& row : rows_)
    painter.drawEllipse(at(row.Groups, row.Reduction), 2.5, 2.5);

  // The legend above the plot.
  painter.setBrush(Qt::NoBrush);
  const double y = TopMargin / 2.0;
  double x = plot.left();
  const auto legend = [&](const QPen& pen, const QString& text) {
    painter.setPen(pen);
    painter.drawLine(QPointF(x, y), QPointF(x + 20, y));
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(QPointF(x + 24, y + metrics.ascent() / 2.0 - 1), text);
    x += 24 + metrics.horizontalAdvance(text) + 14;
  };
  legend(QPen(QColor(0, 90, 180), 1.5), QStringLiteral("observed reduction"));
  legend(QPen(QColor(140, 140, 140), 1.5, Qt::DashLine), QStringLiteral("broken stick"));
}

}  // namespace vardell
