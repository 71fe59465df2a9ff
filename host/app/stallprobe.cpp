// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "stallprobe.h"

#include <sys/resource.h>
#include <time.h>

namespace Brindle::Host {

static qint64 threadCpuNs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

static void threadSwitches(long *voluntary, long *involuntary)
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    *voluntary = usage.ru_nvcsw;
    *involuntary = usage.ru_nivcsw;
}

StallProbe::StallProbe(QObject *parent)
    : QObject(parent)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(0);
    connect(&m_timer, &QTimer::timeout, this, &StallProbe::tick);
}

void StallProbe::start()
{
    // The first tick marks the start: whatever ran before the event loop is not a stall.
    m_lastTickNs = -1;
    m_clock.start();
    m_timer.start();
}

void StallProbe::stop()
{
    m_timer.stop();
}

double StallProbe::longestStallMs() const
{
    return double(m_longestNs) / 1e6;
}

double StallProbe::longestCpuPassMs() const
{
    return double(m_longestCpuNs) / 1e6;
}

void StallProbe::tick()
{
    const qint64 now = m_clock.nsecsElapsed();
    const qint64 cpu = threadCpuNs();
    long voluntary = 0;
    long involuntary = 0;
    threadSwitches(&voluntary, &involuntary);
    if (m_lastTickNs >= 0) {
        const qint64 stall = now - m_lastTickNs;
        const qint64 cpuPass = cpu - m_lastCpuNs;
        m_longestNs = qMax(m_longestNs, stall);
        m_longestCpuNs = qMax(m_longestCpuNs, cpuPass);
        // Long ones are told as they happen, so that they can be matched with the log.
        if (stall > 50'000'000 || cpuPass > 20'000'000) {
            qInfo("Event loop stall: %.1f ms, ending at %.3f s; GUI thread CPU %.1f ms, "
                  "switches %ld voluntary, %ld involuntary",
                  double(stall) / 1e6,
                  double(now) / 1e9,
                  double(cpuPass) / 1e6,
                  voluntary - m_lastVoluntary,
                  involuntary - m_lastInvoluntary);
        }
    }
    m_lastTickNs = now;
    m_lastCpuNs = cpu;
    m_lastVoluntary = voluntary;
    m_lastInvoluntary = involuntary;
}

} // namespace Brindle::Host
