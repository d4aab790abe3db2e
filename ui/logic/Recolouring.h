#pragma once
// The colour roles of a project's palette as the settings dialog edits them, and the
// recolouring of the code tree's lines when the dialog is confirmed.
#include <array>
#include <string>

#include "project/Project.h"

namespace orvanel {

// The seven roles in the dialog's order.
enum class TColourRole {
  StartNode,
  ForwardBranch,
  BackBranch,
  Call,
  Return,
  Comment,
  Cut,
};
constexpr size_t kColourRoleCount = 7;
using TRoleColours = std::array<TColor, kColourRoleCount>;

// The dialog's captions of the roles, in order.
const std::array<std::string, kColourRoleCount>& ColourRoleCaptions();

TRoleColours RoleColours(const TPalette& palette);
void SetRoleColours(TPalette& palette, const TRoleColours& colours);

// A line colour's new colour: the new colour of the first role whose old colour it equals
// (roles that share a colour all go to the earliest one's new colour); unchanged when it
// equals none.
TColor Recoloured(TColor lineColour, const TRoleColours& before, const TRoleColours& after);

// Recolours every line of the project's code tree (each record once, however many items
// show it), then stores the new colours in the palette. The code cache keeps its colours.
void ApplyRoleColours(TProject& project, const TRoleColours& after);

}  // namespace orvanel
