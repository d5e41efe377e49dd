#pragma once
// The zonation's tables as CSV, written by the command-line tool and by the Zones window's
// "Save table...". Objects are their 0-based data rows in the file, as in the fusion table;
// numbers have up to 10 significant digits.

#include <ostream>

#include "analysis/analysisdata.h"
#include "engine/zonation.h"

namespace vardell {

// zone,samples,first_object,last_object,top_depth,bottom_depth,boundary_below: one row per
// zone of a constrained run's cut; boundary_below is empty for the last zone.
void WriteZoneTable(const Analysis& analysis, const TreeCut& cut, std::ostream& out);

// object,label,depth,group: every object in the file's row order, with the label the diagram
// shows; depth is empty in an ordinary run.
void WriteMemberships(const Analysis& analysis, const TreeCut& cut, std::ostream& out);

// groups,reduction,expected: one row per number of groups g = 2..n-1.
void WriteBrokenStick(const BrokenStick& stick, std::ostream& out);

// A number as the tables write it ("%.10g").
std::string TableNumber(double value);

// A CSV field: quoted, with inner quotes doubled, when it holds a comma, a quote or a line end.
std::string CsvField(const std::string& text);

}  // namespace vardell
