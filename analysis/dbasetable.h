#pragma once
// dBase tables (.DBF), read through shapelib.

#include <memory>
#include <string>

#include "analysis/tableengine.h"

namespace vardell {

// Opens the dBase file at exactly this path; records marked deleted are passed over.
// Throws TableEngineError when shapelib cannot read it.
std::unique_ptr<Table> OpenDbaseTable(const std::string& path);

}  // namespace vardell
