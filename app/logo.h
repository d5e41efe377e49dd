#pragma once
// The picture of the parameter window's start screen: a sediment core beside the tree
// diagram of its samples, with the program's name. Drawn at start-up, 724 x 494 pixels.

#include <QImage>

namespace vardell {

constexpr int LogoWidth = 724;
constexpr int LogoHeight = 494;

QImage DrawLogo();

}  // namespace vardell
