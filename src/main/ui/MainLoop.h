#pragma once
// The main loop: one pass over the registered windows per tick of the main
// window's 1 ms timer. It selects each window's unit, lets the window poll it,
// carries out the probe windows' mailbox and serves the recorder, the stage
// simulator and the control-loop window. Widget-free.

#include <QSet>
#include <QString>
#include <QStringList>

class BusTransport;
class Fensterpostfach;

class MainLoop
{
public:
    // Windows narrower than this are not polled (minimised ones among them).
    static constexpr int MinPollWidthTwips = 6000;
    // Store-to-EEPROM commands of a probe window ("[0ff..") need longer.
    static constexpr double StoreCommandTimeout = 3.0;

    MainLoop(Fensterpostfach& mailbox, BusTransport& bus) : m_p(mailbox), m_bus(bus) {}

    // One tick. A tick that starts while another one is still running (a
    // modal box opened inside a tick lets the timer fire again) returns at
    // once, so two passes never talk over each other on the bus.
    void Timer1_Timer();

    bool inTick() const { return m_inTick; }
    // Whether the tick is reporting a command a window posted (a move
    // button) on a closed port: that is the operator's action, not the
    // loop's polling.
    bool servingPost() const { return m_servingPost; }
    // Ticks that returned at once because another was running.
    int skippedNestedTicks() const { return m_skipped; }

    // Time-out for a probe window's mailbox command.
    static double probeCommandTimeout(const QString& cmdText);

private:
    // A window's posted command finds the serial port closed: it is said
    // as any action on the closed port is (the frame says it once per loss).
    // Only a post made since the last tick counts: one still pending from
    // before was made before the loss, or by a tick (a run that gives up on
    // its unit posts its Stop), and the report of the loss covers it.
    void reportPostOnClosedPort();
    // The windows whose command is posted and not yet sent.
    QSet<const void*> pendingPosts() const;
    void serveProbeWindows();
    void serveControlCenters();
    void serveSimulator();
    void serveControlLoopWindow();
    // Selects the current control center's unit and moves the parameter
    // cursor to its axis; false when no control center is current.
    bool selectCurrentControlCenter(bool alsoParameterIndex);

    Fensterpostfach& m_p;
    BusTransport& m_bus;
    bool m_inTick = false;
    bool m_servingPost = false;
    int m_skipped = 0;
    // The windows whose post was pending when the last tick ended.
    QSet<const void*> m_postsSeen;
};

// The main loop's timer may be held off by several windows at once (tool
// windows, the port dialog, the port release, the path table ...). Each holds
// it under its own name; the loop runs again only when the last holder lets
// go, so closing one window never restarts the loop while another still owns
// the bus. Holding twice under one name counts once.
class MainLoopHolders
{
public:
    // Returns true when this made the first hold.
    bool hold(const QString& holder);
    // Returns true when this released the last hold.
    bool release(const QString& holder);
    bool held() const { return !m_holders.isEmpty(); }
    QStringList holders() const { return m_holders; }
    void clear() { m_holders.clear(); }

private:
    QStringList m_holders;
};
