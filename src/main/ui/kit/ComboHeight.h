#pragma once

class QComboBox;

namespace kit {

// Sets how tall the drop-down list of a combo box opens, in pixels. The list
// shows as many whole rows as fit (at least one), so a long address list
// opens at full height instead of the style's default of ten rows.
void combo_hoehe(QComboBox& box, int heightPixels);

}  // namespace kit
