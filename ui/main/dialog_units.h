// Dialog units: a dialog's layout measured in its font, so that it grows with
// the font. One unit across is a quarter of the font's average character width,
// one unit down an eighth of its height; conversions round to the nearest pixel.
#pragma once

namespace orvalis {

struct DialogUnits {
  int charWidth = 4;
  int charHeight = 8;

  int x(int units) const { return (units * charWidth * 2 + 4) / 8; }
  int y(int units) const { return (units * charHeight * 2 + 8) / 16; }
};

}  // namespace orvalis
