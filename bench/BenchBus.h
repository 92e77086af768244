#pragma once
// What the window benchmarks share: a core context whose serial port talks to
// an in-process simulated bus with no reply delay (so a measurement is the
// program's own work around each exchange), and the median of a timed step.

#include "Clock.h"
#include "CoreContext.h"
#include "Settings.h"
#include "SimBus.h"
#include "SimSerialPort.h"
#include "SimUsbBridge.h"
#include "UiServices.h"

#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

struct BenchBus
{
    BenchBus() : clock(new SteadyClock), bus(*clock)
    {
        auto serial = std::make_unique<SimSerialPort>(bus);
        serial->setCommPort(1);
        serial->setSettings(QStringLiteral("9600"));
        serial->open();
        core = std::make_unique<CoreContext>(std::make_unique<AppSettings>(dir.filePath(QStringLiteral("s.ini"))),
                                             std::make_unique<RecordingUiServices>(), std::unique_ptr<IClock>(clock),
                                             std::move(serial), std::make_unique<SimUsbBridge>(bus, false));
    }

    QTemporaryDir dir;
    IClock* clock;  // owned by core
    SimBus bus;
    std::unique_ptr<CoreContext> core;
};

// Runs `step(i)` warmUp + runs times and returns the median time of the last
// `runs` calls in microseconds, or -1 when a step reports failure (false).
template <class Step>
double medianMicros(int warmUp, int runs, Step step)
{
    std::vector<double> times;
    times.reserve(runs);
    for (int i = 0; i < warmUp + runs; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        const bool ok = step(i);
        const auto t1 = std::chrono::steady_clock::now();
        if (!ok)
            return -1;
        if (i >= warmUp)
            times.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
    std::nth_element(times.begin(), times.begin() + runs / 2, times.end());
    return times[runs / 2];
}
