// Dialog units of a dialog's font, for laying out windows from their templates.
#pragma once

#include "ui/main/dialog_units.h"

class QFont;

namespace orvalis {

// The dialog units of `font`: its average character width over the Latin
// alphabet, halved and rounded, and its height.
DialogUnits unitsOf(const QFont& font);

}  // namespace orvalis
