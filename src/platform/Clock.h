#pragma once
// Monotonic time and pauses for the whole program. Exchanges and step machines
// measure time-outs with this clock only, so a change of the time of day (or
// midnight) never shortens or stretches a wait. Tests install a fake.

#include <QtGlobal>

class IClock
{
public:
    virtual ~IClock() = default;
    // Seconds since an arbitrary fixed origin, sub-millisecond resolution.
    virtual double now() const = 0;
    // Pause the calling thread. Never processes GUI events.
    virtual void sleep(double seconds) = 0;
};

class SteadyClock final : public IClock
{
public:
    double now() const override;
    void sleep(double seconds) override;
};

// A clock for tests: time moves only when the code sleeps or a test advances it.
// `autoStep` lets every reading move time forward a little so that code which
// polls the clock in a loop still reaches its deadline.
class FakeClock final : public IClock
{
public:
    explicit FakeClock(double autoStep = 0.0) : m_autoStep(autoStep) {}
    double now() const override
    {
        const double t = m_now;
        m_now += m_autoStep;
        return t;
    }
    void sleep(double seconds) override
    {
        if (seconds > 0)
            m_now += seconds;
        m_slept += seconds > 0 ? seconds : 0;
    }
    void advance(double seconds) { m_now += seconds; }
    void setAutoStep(double s) { m_autoStep = s; }
    double slept() const { return m_slept; }

private:
    mutable double m_now = 1000.0;
    double m_autoStep;
    double m_slept = 0.0;
};
