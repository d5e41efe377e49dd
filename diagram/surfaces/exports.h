#pragma once
// The diagram on the concrete surfaces: the screen picture, a printed page, an enhanced
// metafile, and the files of the command-line tool. Every output is one
// TreeDiagram::RedrawDiagram onto a Surface; only the screen picture is cleared first.

#include <QFont>
#include <QImage>
#include <optional>
#include <string>

#include "analysis/analysisdata.h"
#include "diagram/surfaces/drawingfont.h"
#include "diagram/treediagram.h"

class QPrinter;

namespace vardell {

constexpr int ScreenAreaWidth = 665;
constexpr int ScreenAreaHeight = 689;
constexpr int ScreenPixelsPerInch = 96;

// A white picture of the drawing area, 665 x 689 pixels at 96 pixels per inch, held at
// pixelRatio device pixels per pixel (2 on a desktop scaled to 200 %), so that it is drawn
// as sharp as the screen shows it. Its layout and drawing work in the area's own pixels.
QImage NewScreenImage(double pixelRatio = 1);

// The results window's drawing step: clears screen and draws the diagram on it (target
// Screen) in font, in the picture's own pixels whatever its device pixel ratio.
void RedrawOnScreen(TreeDiagram& diagram, Analysis& analysis, QImage& screen, const QFont& font);

// One page on printer at PrinterDotsPerInch (target Printer) in PrinterFont(). Redrawing the
// screen afterwards is the caller's. Throws std::runtime_error when the print job fails.
void PrintDiagram(TreeDiagram& diagram, Analysis& analysis, QPrinter& printer);

// The enhanced metafile of the diagram (target Metafile), written to path. Throws
// std::runtime_error when it cannot be written; no partial file is left under path, and the
// metafile is released in every case.
void ExportMetafile(TreeDiagram& diagram, Analysis& analysis, const std::string& path);

enum class DiagramFileFormat { Metafile, Svg, Png, Pdf };

// The format a file name's suffix asks for (".emf", ".svg", ".png", ".pdf" in any case).
std::optional<DiagramFileFormat> DiagramFileFormatOf(const std::string& path);

// Writes the diagram to path in the format of its suffix: .emf as the metafile export, .svg
// and .png the screen picture in screenFont, .pdf one printed A4 page. Written beside path
// and renamed onto it when complete. Throws std::runtime_error naming the file on an unknown
// suffix or a failed write. Needs a QGuiApplication (the offscreen platform will do).
void ExportDiagramFile(TreeDiagram& diagram, Analysis& analysis, const std::string& path,
                       const QFont& screenFont = DefaultDiagramFont());

}  // namespace vardell
