#pragma once
// The communication log: every exchange made through the transport, newest
// first, at most 1000 lines. The log window shows this model; it exists from
// start to exit whether the window is open or not.

#include <QAbstractListModel>
#include <QStringList>

class CommLog final : public QAbstractListModel
{
    Q_OBJECT
public:
    static constexpr int MaxLines = 1000;
    // A line longer than this (a command or reply without end) is cut.
    static constexpr int MaxLineLength = 8192;

    explicit CommLog(QObject* parent = nullptr) : QAbstractListModel(parent) {}

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // The filter box of the log window (`cb_an_aus`): when set, position and
    // index polls are left out and each line starts with the selected unit.
    bool filter() const { return m_filter; }
    void setFilter(bool on) { m_filter = on; }

    // Records one exchange by the log rule.
    void logExchange(const QString& command, const QString& result, const QString& activeUnit);
    // Inserts one line at the top, dropping the oldest beyond the cap.
    void insertLine(const QString& line);
    void clear();

    const QStringList& lines() const { return m_lines; }

private:
    QStringList m_lines;
    bool m_filter = false;
};
