#pragma once
// The picture of the parameter window's start screen: a sediment core beside the tree
// diagram of its samples, with the program's name. Drawn at start-up, 724 x 494 pixels.

#include <QIcon>
#include <QImage>
#include <array>

class QPainter;

namespace vardell {

constexpr int LogoWidth = 724;
constexpr int LogoHeight = 494;

QImage DrawLogo();

// The program's icon, made of the logo's core and tree: drawn on a square of the given side in
// the painter's units (an image, or the SVG generator of the scalable icon).
void DrawIcon(QPainter& painter, double side);
QImage IconImage(int side);

// The sizes of the desktop's hicolor icon theme the icon is made in.
constexpr std::array<int, 8> IconSizes{16, 22, 24, 32, 48, 64, 128, 256};
QIcon ProgramIcon();

}  // namespace vardell
