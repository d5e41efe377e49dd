#pragma once
// Drawing the diagram onto the concrete surfaces: the screen picture, a printed page, an
// enhanced metafile, and the files of the command-line tool.

#include <QFont>
#include <QImage>
#include <string>

#include "analysis/analysisdata.h"
#include "diagram/treediagram.h"

class QPrinter;

namespace vardell {

constexpr int ScreenAreaWidth = 665;
constexpr int ScreenAreaHeight = 689;

// The windows' font: the desktop's sans-serif family, 11 pixels high.
QFont DefaultDiagramFont();

// A white 665 x 689 picture at 96 pixels per inch, the drawing area's buffer.
QImage NewScreenImage();

// A redraw on the screen picture (target Screen) in font.
void RedrawOnScreen(TreeDiagram& diagram, Analysis& analysis, QImage& screen, const QFont& font);

// One page on printer at 300 dots per inch (target Printer), in the printer's font (sans-serif,
// 10 points); the screen picture is cleared by the layout as on every redraw, and redrawing it
// afterwards is the caller's. Throws std::runtime_error when the print job fails.
void PrintDiagram(TreeDiagram& diagram, Analysis& analysis, QImage& screen, const QFont& screenFont,
                  QPrinter& printer);

// The enhanced metafile of the diagram (target Metafile), written to path; redrawing the
// screen afterwards is the caller's. Throws std::runtime_error when it cannot be written; no
// partial file is left under path, and the metafile is released in every case.
void ExportMetafile(TreeDiagram& diagram, Analysis& analysis, QImage& screen,
                    const QFont& screenFont, const std::string& path);

// The command-line export, format by the path's extension: .emf as the metafile export,
// .svg and .png the screen picture after a run, .pdf the printed A4 page; all fitted.
// Throws std::runtime_error naming the file on an unknown extension or a failed write. Needs a
// QGuiApplication (the offscreen platform will do).
void ExportDiagramFile(Analysis& analysis, const std::string& path);

}  // namespace vardell
