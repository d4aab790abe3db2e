#pragma once
// The code tree as text ("Export" > "Log File"): one line per item in tree order.
#include <string>

namespace orvanel {

class TProject;
class TTreeItem;

// Each item gives its depth, indentation (two blanks a level, at most 40 levels), its offset
// text, the instruction as the tree shows it (labels, mapping and register names), the
// registers and "; comment" when the line has one; a labelled offset is preceded by a line
// "name:". The tree is walked once and written in blocks to a temporary file renamed over
// the target, so memory does not grow with the tree. Throws EFileError.
void ExportListing(const TProject& project, const std::string& fileName);

// The registers written for an item ("A:0100 X:0000 ..."); empty for a line without them.
std::string ItemRegisters(const TTreeItem& item);

}  // namespace orvanel
