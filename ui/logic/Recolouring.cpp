#include "logic/Recolouring.h"

namespace orvanel {

const std::array<std::string, kColourRoleCount>& ColourRoleCaptions() {
  static const std::array<std::string, kColourRoleCount> captions = {
      "Start Node",      "Forward Branches", "Back Branches",  "Routine calls",
      "Routine returns", "Comment text",     "Cutted elements"};
  return captions;
}

TRoleColours RoleColours(const TPalette& p) {
  return {p.StartNodeColor, p.ForwardBranchColor, p.BackBranchColor, p.CallColor,
          p.ReturnColor,    p.CommentColor,       p.CutColor};
}

void SetRoleColours(TPalette& p, const TRoleColours& c) {
  p.StartNodeColor = c[0];
  p.ForwardBranchColor = c[1];
  p.BackBranchColor = c[2];
  p.CallColor = c[3];
  p.ReturnColor = c[4];
  p.CommentColor = c[5];
  p.CutColor = c[6];
}

TColor Recoloured(TColor lineColour, const TRoleColours& before, const TRoleColours& after) {
  for (size_t i = 0; i < kColourRoleCount; ++i)
    if (lineColour == before[i]) return after[i];
  return lineColour;
}

void ApplyRoleColours(TProject& project, const TRoleColours& after) {
  const TRoleColours before = RoleColours(project.Palette);
  if (before != after) {
    // Every record of the store is shown by the tree; a record shown by many items is
    // recoloured once.
    bool recoloured = false;
    for (const auto& line : project.Store().Lines()) {
      const TColor colour = Recoloured(line->TextColor(), before, after);
      recoloured |= colour != line->TextColor();
      line->SetTextColor(colour);
    }
    if (recoloured) project.MarkLogChanged();  // a line keeps its colour in the trace data file
  }
  SetRoleColours(project.Palette, after);
}

}  // namespace orvanel
