// Renders the program's icon for the desktop's hicolor theme: a scalable SVG and a PNG for
// each size, as OUTDIR/hicolor/scalable/apps/vardell.svg and OUTDIR/hicolor/NxN/apps/vardell.png.

#include <QDir>
#include <QPainter>
#include <QSvgGenerator>
#include <iostream>

#include "app/logo.h"

namespace {

bool WriteSvg(const QString& path) {
  QSvgGenerator svg;
  svg.setFileName(path);
  svg.setSize(QSize(256, 256));
  svg.setViewBox(QRect(0, 0, 256, 256));
  svg.setTitle(QStringLiteral("vardell"));
  svg.setDescription(QStringLiteral("A sediment core beside the tree diagram of its samples"));
  QPainter painter;
  if (!painter.begin(&svg)) return false;
  vardell::DrawIcon(painter, 256);
  return painter.end();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: vardell_render_icons OUTDIR\n";
    return 2;
  }
  const QDir out(QString::fromLocal8Bit(argv[1]));
  const auto folder = [&](const QString& size) {
    const QString path = out.filePath(QStringLiteral("hicolor/%1/apps").arg(size));
    return QDir().mkpath(path) ? path : QString();
  };
  const QString scalable = folder(QStringLiteral("scalable"));
  if (scalable.isEmpty() || !WriteSvg(scalable + QStringLiteral("/vardell.svg"))) {
    std::cerr << "vardell_render_icons: cannot write the SVG icon\n";
    return 1;
  }
  for (int side : vardell::IconSizes) {
    const QString sized = folder(QStringLiteral("%1x%1").arg(side));
    if (sized.isEmpty() || !vardell::IconImage(side).save(sized + QStringLiteral("/vardell.png"))) {
      std::cerr << "vardell_render_icons: cannot write the " << side << " pixel icon\n";
      return 1;
    }
  }
  return 0;
}
