#include "app/logo.h"

#include <QFont>
#include <QFontDatabase>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <array>
#include <vector>

#include "version.h"

namespace vardell {
namespace {

constexpr int CoreLeft = 36;
constexpr int CoreWidth = 38;
constexpr int CoreTop = 64;
constexpr int SampleCount = 12;
constexpr int SampleSpacing = 25;
constexpr int CoreBottom = CoreTop + SampleSpacing * SampleCount;
constexpr int LeafX = 92;
constexpr double LevelScale = 34;  // pixels per distance unit of the sketched tree

QFont LogoFont(int pixelSize, bool bold) {
  QFont font(QFontDatabase::hasFamily(QStringLiteral("DejaVu Sans")) ? QStringLiteral("DejaVu Sans")
                                                                     : QString());
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  return font;
}

void DrawBackground(QPainter& painter) {
  QLinearGradient sky(0, 0, 0, LogoHeight);
  sky.setColorAt(0, QColor(250, 248, 240));
  sky.setColorAt(1, QColor(233, 226, 205));
  painter.fillRect(0, 0, LogoWidth, LogoHeight, sky);
}

// A lake sequence from the top: peat over gyttja over silts and clays on a sandy base.
constexpr int StratumCount = 6;
const std::array<QColor, StratumCount>& StratumColours() {
  static const std::array<QColor, StratumCount> colours{
      QColor(92, 64, 43),    QColor(112, 118, 62),  QColor(160, 150, 120),
      QColor(128, 142, 160), QColor(176, 170, 150), QColor(222, 196, 120)};
  return colours;
}

void DrawCore(QPainter& painter) {
  const std::array<Qt::BrushStyle, StratumCount> patterns{Qt::Dense6Pattern, Qt::Dense7Pattern,
                                                          Qt::HorPattern,    Qt::Dense6Pattern,
                                                          Qt::HorPattern,    Qt::Dense5Pattern};
  constexpr int StratumHeight = 50;
  for (int i = 0; i < StratumCount; ++i) {
    const int top = CoreTop + i * StratumHeight;
    const int bottom = i + 1 < StratumCount ? top + StratumHeight : CoreBottom;
    const QRect band(CoreLeft, top, CoreWidth, bottom - top);
    const QColor& colour = StratumColours()[i];
    painter.fillRect(band, colour);
    painter.fillRect(band, QBrush(colour.darker(140), patterns[i]));
  }
  painter.setPen(QPen(QColor(40, 40, 40), 1.5));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(CoreLeft, CoreTop, CoreWidth, CoreBottom - CoreTop);

  painter.setFont(LogoFont(10, false));
  painter.setPen(QColor(60, 60, 60));
  for (int depth = 0; depth <= SampleCount; depth += 2) {
    const int y = CoreTop + depth * SampleSpacing;
    painter.drawLine(CoreLeft - 5, y, CoreLeft, y);
    painter.drawText(QRect(0, y - 7, CoreLeft - 7, 14), Qt::AlignRight | Qt::AlignVCenter,
                     QString::number(depth * 25));
  }
  painter.drawText(QRect(0, CoreTop - 26, CoreLeft + CoreWidth, 14), Qt::AlignCenter,
                   QStringLiteral("depth cm"));
}

struct Cluster {
  double Level;
  double Y;
};

// A constrained tree of the twelve samples: neighbours in depth fuse.
void DrawTree(QPainter& painter) {
  std::vector<Cluster> clusters;
  for (int sample = 0; sample < SampleCount; ++sample)
    clusters.push_back({0, CoreTop + SampleSpacing * (sample + 0.5)});
  struct Fusion {
    int A, B;
    double Level;
  };
  const std::array<Fusion, SampleCount - 1> fusions{{
      {0, 1, 0.8},
      {2, 3, 1.0},
      {4, 5, 0.6},
      {6, 7, 1.3},
      {8, 9, 0.7},
      {10, 11, 0.9},
      {12, 13, 2.1},
      {14, 15, 2.6},
      {16, 17, 1.8},
      {18, 19, 3.7},
      {21, 20, 5.2},
  }};
  const auto x = [](double level) { return LeafX + 12 + level * LevelScale; };

  painter.setPen(QPen(QColor(150, 150, 150), 1, Qt::DotLine));
  for (int sample = 0; sample < SampleCount; ++sample) {
    const double y = clusters[sample].Y;
    painter.drawLine(QPointF(CoreLeft + CoreWidth, y), QPointF(LeafX, y));
  }
  painter.setPen(QPen(QColor(20, 60, 110), 2, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
  for (const Fusion& fusion : fusions) {
    const Cluster& a = clusters[fusion.A];
    const Cluster& b = clusters[fusion.B];
    QPainterPath bracket;
    bracket.moveTo(x(a.Level), a.Y);
    bracket.lineTo(x(fusion.Level), a.Y);
    bracket.lineTo(x(fusion.Level), b.Y);
    bracket.lineTo(x(b.Level), b.Y);
    painter.drawPath(bracket);
    clusters.push_back({fusion.Level, (a.Y + b.Y) * 0.5});
  }
  painter.setBrush(QColor(190, 70, 40));
  painter.setPen(Qt::NoPen);
  for (int sample = 0; sample < SampleCount; ++sample)
    painter.drawEllipse(QPointF(LeafX + 6, clusters[sample].Y), 3.5, 3.5);

  // the distance axis below the tree
  painter.setPen(QPen(QColor(60, 60, 60), 1));
  const int axisY = CoreBottom + 14;
  painter.drawLine(QPointF(x(0), axisY), QPointF(x(5.5), axisY));
  painter.setFont(LogoFont(10, false));
  for (int tick = 0; tick <= 5; ++tick) {
    painter.drawLine(QPointF(x(tick), axisY), QPointF(x(tick), axisY + 4));
    painter.drawText(QRectF(x(tick) - 10, axisY + 5, 20, 13), Qt::AlignCenter,
                     QString::number(tick));
  }
}

void DrawTitle(QPainter& painter) {
  const int left = 304;
  painter.setPen(QColor(20, 60, 110));
  painter.setFont(LogoFont(52, true));
  painter.drawText(QPoint(left, 112), QStringLiteral("vardell"));
  painter.setPen(QPen(QColor(190, 70, 40), 3));
  painter.drawLine(left + 2, 128, 548, 128);
  painter.setPen(QColor(50, 50, 50));
  painter.setFont(LogoFont(15, false));
  painter.drawText(QPoint(left + 2, 156), QStringLiteral("Hierarchical cluster analysis"));
  painter.drawText(QPoint(left + 2, 176), QStringLiteral("of stratigraphic data"));
  painter.setFont(LogoFont(13, false));
  painter.setPen(QColor(90, 90, 90));
  painter.drawText(QPoint(left + 2, 212), QStringLiteral("Version " VARDELL_VERSION));
  painter.drawText(QPoint(left + 2, 344), QStringLiteral("Press \u201cData File\u201d to begin."));
}

// The same colours on a pale tile: the core, four samples and their constrained tree, in
// units of a 256 x 256 square; lines are thick enough to read at 16 x 16 pixels.
void DrawIconTile(QPainter& painter) {
  QLinearGradient sky(0, 14, 0, 242);
  sky.setColorAt(0, QColor(250, 248, 240));
  sky.setColorAt(1, QColor(233, 226, 205));
  painter.setPen(QPen(QColor(150, 140, 110), 4));
  painter.setBrush(sky);
  painter.drawRoundedRect(QRectF(14, 14, 228, 228), 30, 30);

  constexpr double Left = 38, Top = 44, Width = 52, LayerHeight = 28;
  for (int i = 0; i < StratumCount; ++i)
    painter.fillRect(QRectF(Left, Top + i * LayerHeight, Width, LayerHeight), StratumColours()[i]);
  painter.setPen(QPen(QColor(40, 40, 40), 5, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(QRectF(Left, Top, Width, LayerHeight * StratumCount));

  const std::array<double, 4> leaves{65, 107, 149, 191};
  const auto bracket = [&](double x1, double y1, double x2, double y2, double level) {
    QPainterPath path;
    path.moveTo(x1, y1);
    path.lineTo(level, y1);
    path.lineTo(level, y2);
    path.lineTo(x2, y2);
    painter.drawPath(path);
  };
  constexpr double LeafX = 118;
  painter.setPen(QPen(QColor(20, 60, 110), 11, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
  bracket(LeafX, leaves[0], LeafX, leaves[1], 170);
  bracket(LeafX, leaves[2], LeafX, leaves[3], 152);
  bracket(170, (leaves[0] + leaves[1]) / 2, 152, (leaves[2] + leaves[3]) / 2, 220);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(190, 70, 40));
  for (double y : leaves) painter.drawEllipse(QPointF(106, y), 9, 9);
}

}  // namespace

void DrawIcon(QPainter& painter, double side) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(side / 256, side / 256);
  DrawIconTile(painter);
  painter.restore();
}

QImage IconImage(int side) {
  QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  DrawIcon(painter, side);
  return image;
}

QIcon ProgramIcon() {
  QIcon icon;
  for (int side : IconSizes) icon.addPixmap(QPixmap::fromImage(IconImage(side)));
  return icon;
}

QImage DrawLogo() {
  QImage image(LogoWidth, LogoHeight, QImage::Format_RGB32);
  image.setDotsPerMeterX(3780);  // 96 pixels per inch
  image.setDotsPerMeterY(3780);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  DrawBackground(painter);
  DrawCore(painter);
  DrawTree(painter);
  DrawTitle(painter);
  return image;
}

}  // namespace vardell
