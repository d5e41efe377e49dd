#pragma once
// The results window's drawing area: a white widget that keeps its picture in an image
// buffer at the screen's resolution. Every redraw paints into the buffer; the widget only copies
// the buffer to the screen when the window system exposes it, so an uncovered area shows its last
// picture.

#include <QImage>
#include <QWidget>

namespace vardell {

class DrawingArea : public QWidget {
  Q_OBJECT
 public:
  explicit DrawingArea(QWidget* parent = nullptr);

  QImage& Picture() { return picture_; }
  // The buffer for a redraw: made anew, blank, when the area's screen has another pixel ratio.
  QImage& PictureToRedraw();
  const QImage& Picture() const { return picture_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage picture_;
};

}  // namespace vardell
