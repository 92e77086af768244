#pragma once
// The state of a window's controls as a widget-free core holds it. A core
// names its members as the window's controls (`lb_POS`, `cmd_STOPP`); the
// window binds each one to the widget of the same object name (kit::Form),
// which shows the state and writes the operator's input back into it.

#include <QString>
#include <QStringList>

namespace kit {

// "No colour of its own": the widget keeps the system colour.
inline constexpr quint32 DefaultColour = 0xFFFFFFFFu;

// Label, button, entry box, check box, option button, lamp or frame.
// Colours are 24-bit with blue in the high byte (0x00BBGGRR).
struct Control
{
    QString text;
    quint32 colour = DefaultColour;      // background
    quint32 foreColour = DefaultColour;  // text
    bool enabled = true;
    bool visible = true;
    bool checked = false;  // check boxes and option buttons
    bool operator==(const Control&) const = default;
};

// Combo box or list box: its entries, the selected entry (-1 = none) and, for
// an editable combo box, the text in its edit field.
struct ListControl
{
    QStringList items;
    int listIndex = -1;
    QString text;
    bool enabled = true;
    bool visible = true;
    bool operator==(const ListControl&) const = default;

    // The selected entry, or the empty text when none is selected.
    QString selected() const { return listIndex >= 0 && listIndex < items.size() ? items.at(listIndex) : QString(); }
    void clear()
    {
        items.clear();
        listIndex = -1;
    }
    void addItem(const QString& item) { items.append(item); }
};

// Scroll bar or slider. The window never clamps a value the core sets: a
// value outside min..max is refused by the core before it reaches here.
struct RangeControl
{
    int value = 0;
    int min = 0;
    int max = 100;
    int smallChange = 1;
    int largeChange = 1;
    bool enabled = true;
    bool visible = true;
    bool operator==(const RangeControl&) const = default;

    bool contains(int v) const { return v >= min && v <= max; }
};

}  // namespace kit
