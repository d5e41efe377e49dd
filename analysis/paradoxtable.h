#pragma once
// Paradox tables (.DB), read through pxlib.

#include <memory>
#include <string>

#include "analysis/tableengine.h"

namespace vardell {

// Opens the Paradox file at path. Throws TableEngineError when pxlib cannot read it.
std::unique_ptr<Table> OpenParadoxTable(const std::string& path);

}  // namespace vardell
