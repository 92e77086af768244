#include "ComboHeight.h"

#include <QAbstractItemView>
#include <QComboBox>

#include <algorithm>

namespace kit {

void combo_hoehe(QComboBox& box, int heightPixels)
{
    const int row = std::max(1, box.view() ? box.view()->sizeHintForRow(0) : 0);
    const int rowHeight = row > 1 ? row : std::max(1, box.fontMetrics().height());
    const int rows = std::max(1, heightPixels / rowHeight);
    box.setMaxVisibleItems(rows);
    if (box.view())
        box.view()->setMaximumHeight(std::max(rowHeight, heightPixels));
}

}  // namespace kit
