#pragma once
// A surface that writes an enhanced metafile through libEMF: 1000 x 1000 device units with
// the screen as reference device.
//
// libEMF cannot measure text, so the surface selects an explicit sans-serif font of
// MetafileFontHeight device units into the metafile and measures with the metrics of that
// same font; what the layout measured is what the file shows. Measuring needs a
// QGuiApplication.

#include <cstdio>
#include <string>

#include "diagram/surface.h"

namespace vardell {

constexpr int MetafileUnits = 1000;     // width and height in device units
constexpr int MetafileFontHeight = 16;  // the default font of a reference screen
// The reference device libEMF records: 1024 x 768 pixels on 320 x 240 mm.
constexpr double MetafileMmPerUnit = 320.0 / 1024.0;
// The picture frame in 0.01 mm: the natural size of 1000 x 1000 reference-device units
// (312.5 mm), so that an importer opens the picture at a readable size.
constexpr int MetafileFrame = static_cast<int>(MetafileUnits * MetafileMmPerUnit * 100);

// Text as the metafile stores it (Windows-1252; '?' for what that cannot hold).
std::string ToMetafileText(const std::string& utf8);

class EmfSurface : public Surface {
 public:
  // Starts a metafile on file, which must be open for binary writing; the caller closes it.
  // Throws std::runtime_error when libEMF cannot start one.
  explicit EmfSurface(std::FILE* file);
  ~EmfSurface() override;  // releases a metafile that was not finished
  EmfSurface(const EmfSurface&) = delete;
  EmfSurface& operator=(const EmfSurface&) = delete;

  // Completes the picture (writing it to the file) and releases the metafile, also when
  // writing fails; throws std::runtime_error then.
  void Finish();

  void MoveTo(int x, int y) override;
  void LineTo(int x, int y) override;
  void TextOut(int x, int y, const std::string& text) override;
  int TextWidth(const std::string& text) override;
  int TextHeight(const std::string& text) override;
  void Rectangle(int x1, int y1, int x2, int y2) override;
  int Width() const override { return MetafileUnits; }
  int Height() const override { return MetafileUnits; }
  int PixelsPerInch() const override { return 96; }

 private:
  void Release();
  unsigned int dc_ = 0;    // the metafile's drawing context, 0 once finished
  unsigned int font_ = 0;  // the selected font object
};

}  // namespace vardell
