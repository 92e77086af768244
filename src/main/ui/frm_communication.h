#pragma once
// The communication log window: the transport's log, newest first, and the
// filter box that leaves out the position and index polls and prefixes each
// line with the selected unit.

#include <QWidget>

class CommLog;
class QCheckBox;
class QListView;

class frm_communication final : public QWidget
{
    Q_OBJECT
public:
    explicit frm_communication(CommLog& log, QWidget* parent = nullptr);

    QCheckBox* cb_an_aus = nullptr;
    QListView* lbox_comm = nullptr;

    void cb_an_aus_Click();
    // Places the outer frame at the top right of the screen. Until the window
    // manager has framed this window, the frame is taken as `framedLike`'s.
    void placeTopRight(const QWidget* framedLike);

private:
    CommLog& m_log;
};
