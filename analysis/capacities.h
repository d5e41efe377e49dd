#pragma once

namespace vardell {

constexpr int MaxObjects = 200;       // objects (data rows) of one analysis
constexpr int MaxVariables = 150;     // variables (data columns) of one analysis
constexpr int MaxFileColumns = 2000;  // columns a loaded file may bring

}  // namespace vardell
