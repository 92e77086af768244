#pragma once
// The nine service flags of the options dialog (index 0..8) and the rounding
// digits for displayed values. They live here, not in the dialog, because the
// menus, the configuration file and several windows read them while the dialog
// is closed. A flag is stored as the text the file and the dialog exchange:
// "0", "1", or empty when never set. Flag 8 ("Mot - Neu") switches the windows
// to the newer controller variant.

#include <QObject>
#include <QString>

#include <array>

class OptionFlags final : public QObject
{
    Q_OBJECT
public:
    static constexpr int Count = 9;
    static constexpr int EWWindow = 0;
    static constexpr int MicroSim = 1;
    static constexpr int StartConfigIM = 6;
    static constexpr int NewMotorFactor = 8;

    explicit OptionFlags(QObject* parent = nullptr) : QObject(parent) {}

    // Flag i as stored ("0", "1" or ""); the empty text for i outside 0..8.
    QString text(int i) const { return valid(i) ? m_flags[std::size_t(i)] : QString(); }
    void setText(int i, const QString& value)
    {
        if (!valid(i) || m_flags[std::size_t(i)] == value)
            return;
        m_flags[std::size_t(i)] = value;
        emit changed();
    }
    // The flag as its check box shows it: the text taken as a whole number is 1.
    bool on(int i) const { return text(i).trimmed().toInt() == 1; }
    void setOn(int i, bool value) { setText(i, value ? QStringLiteral("1") : QStringLiteral("0")); }

    // List index of the rounding-digits box (`cb_stelle`): 0 for one digit ...
    // 5 for six, the start-up value.
    int digitIndex() const { return m_digitIndex; }
    void setDigitIndex(int index)
    {
        if (index == m_digitIndex || index < 0 || index > 5)
            return;
        m_digitIndex = index;
        emit changed();
    }

    static bool valid(int i) { return i >= 0 && i < Count; }

signals:
    void changed();

private:
    std::array<QString, Count> m_flags{};
    int m_digitIndex = 5;
};
