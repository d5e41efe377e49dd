#include "diagram/surfaces/exports.h"

#include <QBuffer>
#include <QByteArray>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QSvgGenerator>
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <stdexcept>

#include "diagram/layout.h"
#include "diagram/surfaces/emfsurface.h"
#include "diagram/surfaces/pdffile.h"
#include "diagram/surfaces/qtpaintersurface.h"
#include "diagram/surfaces/temporaryfile.h"

namespace vardell {

namespace {

void SaveBytes(const QByteArray& bytes, const std::string& path) {
  WriteFileAtomically(path,
                      std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

// The screen picture of the diagram on a device of the screen area's size.
void DrawScreenPicture(TreeDiagram& diagram, Analysis& analysis, QPaintDevice& device,
                       const QFont& font) {
  QPainter painter;
  if (!painter.begin(&device)) throw std::runtime_error("The picture could not be started");
  QtPainterSurface surface(painter, ScreenAreaWidth, ScreenAreaHeight, ScreenPixelsPerInch, font);
  diagram.RedrawScreen(analysis, surface);
  painter.end();
}

void ExportSvg(TreeDiagram& diagram, Analysis& analysis, const std::string& path,
               const QFont& font) {
  QBuffer buffer;
  QSvgGenerator generator;
  generator.setOutputDevice(&buffer);
  generator.setSize(QSize(ScreenAreaWidth, ScreenAreaHeight));
  generator.setViewBox(QRect(0, 0, ScreenAreaWidth, ScreenAreaHeight));
  generator.setResolution(ScreenPixelsPerInch);
  generator.setTitle(QStringLiteral("Tree diagram"));
  DrawScreenPicture(diagram, analysis, generator, font);
  SaveBytes(buffer.data(), path);
}

void ExportPng(TreeDiagram& diagram, Analysis& analysis, const std::string& path,
               const QFont& font) {
  QImage image = NewScreenImage();
  DrawScreenPicture(diagram, analysis, image, font);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "PNG")) throw WriteError(path);
  SaveBytes(bytes, path);
}

void ExportPdf(TreeDiagram& diagram, Analysis& analysis, const std::string& path) {
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(path));
  printer.setPageSize(QPageSize(QPageSize::A4));
  try {
    PrintDiagram(diagram, analysis, printer);
  } catch (const std::runtime_error&) {
    throw WriteError(path);
  }
}

}  // namespace

QImage NewScreenImage(double pixelRatio) {
  QImage image(qRound(ScreenAreaWidth * pixelRatio), qRound(ScreenAreaHeight * pixelRatio),
               QImage::Format_RGB32);
  image.setDevicePixelRatio(pixelRatio);
  image.fill(Qt::white);
  int dotsPerMeter = qRound(ScreenPixelsPerInch / 0.0254);
  image.setDotsPerMeterX(dotsPerMeter);
  image.setDotsPerMeterY(dotsPerMeter);
  return image;
}

void RedrawOnScreen(TreeDiagram& diagram, Analysis& analysis, QImage& screen, const QFont& font) {
  QPainter painter(&screen);  // scales the area's pixels to the picture's device pixels
  const QSize area = screen.deviceIndependentSize().toSize();
  QtPainterSurface surface(painter, area.width(), area.height(), ScreenPixelsPerInch, font);
  diagram.RedrawScreen(analysis, surface);
}

void PrintDiagram(TreeDiagram& diagram, Analysis& analysis, QPrinter& printer) {
  printer.setResolution(PrinterDotsPerInch);
  PrintAtomically(printer, [&] {
    QPainter page;
    if (!page.begin(&printer)) throw std::runtime_error("The print job could not be started");
    QtPainterSurface pageSurface(page, printer.width(), printer.height(), PrinterDotsPerInch,
                                 PrinterFont());
    diagram.RedrawDiagram(analysis, OutputTarget::Printer, pageSurface);
    if (!page.end()) throw std::runtime_error("The print job failed");
  });
}

void ExportMetafile(TreeDiagram& diagram, Analysis& analysis, const std::string& path) {
  // Written beside the target and renamed when complete, so that a failed export leaves no
  // partial metafile under the user's name.
  TemporaryFile temporary(path);
  {
    EmfSurface metafile(temporary.File());
    diagram.RedrawDiagram(analysis, OutputTarget::Metafile, metafile);
    try {
      metafile.Finish();
    } catch (const std::runtime_error&) {
      throw WriteError(path);
    }
  }
  temporary.Commit();
}

std::optional<DiagramFileFormat> DiagramFileFormatOf(const std::string& path) {
  std::string suffix = std::filesystem::path(path).extension().string();
  std::transform(suffix.begin(), suffix.end(), suffix.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (suffix == ".emf") return DiagramFileFormat::Metafile;
  if (suffix == ".svg") return DiagramFileFormat::Svg;
  if (suffix == ".png") return DiagramFileFormat::Png;
  if (suffix == ".pdf") return DiagramFileFormat::Pdf;
  return std::nullopt;
}

void ExportDiagramFile(TreeDiagram& diagram, Analysis& analysis, const std::string& path,
                       const QFont& screenFont) {
  const std::optional<DiagramFileFormat> format = DiagramFileFormatOf(path);
  if (!format)
    throw std::runtime_error("Unknown export format of " + path +
                             " (use .emf, .svg, .png or .pdf)");
  switch (*format) {
    case DiagramFileFormat::Metafile: return ExportMetafile(diagram, analysis, path);
    case DiagramFileFormat::Svg: return ExportSvg(diagram, analysis, path, screenFont);
    case DiagramFileFormat::Png: return ExportPng(diagram, analysis, path, screenFont);
    case DiagramFileFormat::Pdf: return ExportPdf(diagram, analysis, path);
  }
}

}  // namespace vardell
