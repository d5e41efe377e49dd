#include "diagram/surfaces/exports.h"

#include <QBuffer>
#include <QByteArray>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QSaveFile>
#include <QSvgGenerator>
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <stdexcept>

#include "diagram/layout.h"
#include "diagram/surfaces/emfsurface.h"
#include "diagram/surfaces/qtpaintersurface.h"
#include "diagram/surfaces/temporaryfile.h"

namespace vardell {

namespace {

constexpr int ScreenPixelsPerInch = 96;
constexpr int PrinterFontPoints = 10;

// The printer's default font: sans-serif at 10 points, about 42 dots high at 300 dpi.
QFont PrinterFont() {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setStyleHint(QFont::SansSerif);
  font.setPointSize(PrinterFontPoints);
  return font;
}

std::string LowerExtension(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext;
}

void SaveBytes(const QByteArray& bytes, const std::string& path) {
  QSaveFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
    throw WriteError(path);
}

// The drawing of a run on a picture of the screen area's size at 96 pixels per inch.
void DrawScreenPicture(Analysis& analysis, QPaintDevice& device) {
  TreeDiagram diagram;
  QPainter painter;
  if (!painter.begin(&device)) throw std::runtime_error("The picture could not be started");
  QtPainterSurface surface(painter, ScreenAreaWidth, ScreenAreaHeight, ScreenPixelsPerInch,
                           DefaultDiagramFont());
  diagram.RedrawDiagram(analysis, OutputTarget::Screen, surface, surface);
  painter.end();
}

void ExportSvg(Analysis& analysis, const std::string& path) {
  QBuffer buffer;
  QSvgGenerator generator;
  generator.setOutputDevice(&buffer);
  generator.setSize(QSize(ScreenAreaWidth, ScreenAreaHeight));
  generator.setViewBox(QRect(0, 0, ScreenAreaWidth, ScreenAreaHeight));
  generator.setResolution(ScreenPixelsPerInch);
  generator.setTitle(QStringLiteral("Tree diagram"));
  DrawScreenPicture(analysis, generator);
  SaveBytes(buffer.data(), path);
}

void ExportPng(Analysis& analysis, const std::string& path) {
  QImage image = NewScreenImage();
  DrawScreenPicture(analysis, image);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "PNG")) throw WriteError(path);
  SaveBytes(bytes, path);
}

void ExportPdf(Analysis& analysis, const std::string& path) {
  TemporaryFile temporary(path);
  temporary.CloseForOthers();
  TreeDiagram diagram;
  QImage screen = NewScreenImage();
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(temporary.Name()));
  printer.setPageSize(QPageSize(QPageSize::A4));
  try {
    PrintDiagram(diagram, analysis, screen, DefaultDiagramFont(), printer);
  } catch (const std::runtime_error&) {
    throw WriteError(path);
  }
  temporary.Commit();
}

}  // namespace

QFont DefaultDiagramFont() {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(11);
  return font;
}

QImage NewScreenImage() {
  QImage image(ScreenAreaWidth, ScreenAreaHeight, QImage::Format_RGB32);
  image.fill(Qt::white);
  int dotsPerMeter = qRound(ScreenPixelsPerInch / 0.0254);
  image.setDotsPerMeterX(dotsPerMeter);
  image.setDotsPerMeterY(dotsPerMeter);
  return image;
}

void RedrawOnScreen(TreeDiagram& diagram, Analysis& analysis, QImage& screen, const QFont& font) {
  QPainter painter(&screen);
  QtPainterSurface surface(painter, screen.width(), screen.height(), ScreenPixelsPerInch, font);
  diagram.RedrawDiagram(analysis, OutputTarget::Screen, surface, surface);
}

void PrintDiagram(TreeDiagram& diagram, Analysis& analysis, QImage& screen, const QFont& screenFont,
                  QPrinter& printer) {
  printer.setResolution(static_cast<int>(PrinterDotsPerInch));
  QPainter page;
  if (!page.begin(&printer)) throw std::runtime_error("The print job could not be started");
  QPainter screenPainter(&screen);
  QtPainterSurface screenSurface(screenPainter, screen.width(), screen.height(),
                                 ScreenPixelsPerInch, screenFont);
  QtPainterSurface pageSurface(page, printer.width(), printer.height(),
                               static_cast<int>(PrinterDotsPerInch), PrinterFont());
  diagram.RedrawDiagram(analysis, OutputTarget::Printer, screenSurface, pageSurface);
  if (!page.end()) throw std::runtime_error("The print job failed");
}

void ExportMetafile(TreeDiagram& diagram, Analysis& analysis, QImage& screen,
                    const QFont& screenFont, const std::string& path) {
  // Written beside the target and renamed when complete, so that a failed export leaves no
  // partial metafile under the user's name.
  TemporaryFile temporary(path);
  {
    QPainter screenPainter(&screen);
    QtPainterSurface screenSurface(screenPainter, screen.width(), screen.height(),
                                   ScreenPixelsPerInch, screenFont);
    EmfSurface metafile(temporary.File());
    diagram.RedrawDiagram(analysis, OutputTarget::Metafile, screenSurface, metafile);
    metafile.Finish();
  }
  temporary.Commit();
}

void ExportDiagramFile(Analysis& analysis, const std::string& path) {
  std::string ext = LowerExtension(path);
  if (ext == ".emf") {
    TreeDiagram diagram;
    QImage screen = NewScreenImage();
    ExportMetafile(diagram, analysis, screen, DefaultDiagramFont(), path);
  } else if (ext == ".svg") {
    ExportSvg(analysis, path);
  } else if (ext == ".png") {
    ExportPng(analysis, path);
  } else if (ext == ".pdf") {
    ExportPdf(analysis, path);
  } else {
    throw std::runtime_error("Unknown export format of " + path +
                             " (use .emf, .svg, .png or .pdf)");
  }
}

}  // namespace vardell
