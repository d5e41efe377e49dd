#include "diagram/treediagram.h"

#include "analysis/numbertext.h"
#include "diagram/drawing.h"
#include "diagram/layout.h"
#include "diagram/zonecut.h"

namespace vardell {

void TreeDiagram::RedrawDiagram(Analysis& analysis, OutputTarget target, Surface& surface) {
  transform_ = LayoutDiagram(analysis, Scale, target, surface, ScalesFitted);
  plotter_.Attach(surface, transform_);
  plotter_.ResetPen();
  DrawHeader(plotter_, transform_, analysis.Settings, Scale.TickUnits);
  transform_.YOrigin += transform_.HeaderHeight * transform_.YFactor;

  const ClusterNode* root = analysis.TreeRoot.get();
  if (root && root->IsLeaf()) {
    // A single object has no bracket to write its label; write it where a bracket would.
    const int object = root->FirstObject;
    DrawLeafLabel(plotter_, transform_, root->Position.ToDouble(),
                  object >= 1 && object <= MaxObjects ? analysis.Matrix.Labels[object] : "");
  } else {
    DrawBranches(plotter_, transform_, root, analysis.Matrix);
  }
  if (CutGroups) DrawCut(plotter_, transform_, analysis, *CutGroups);
}

void TreeDiagram::RedrawScreen(Analysis& analysis, Surface& screen) {
  screen.Rectangle(0, 0, screen.Width(), screen.Height());
  RedrawDiagram(analysis, OutputTarget::Screen, screen);
}

const PageTransform& TreeDiagram::Transform() const { return transform_; }

std::string FormatScaleField(double value) { return FixedText(value, 8, 4); }

}  // namespace vardell
