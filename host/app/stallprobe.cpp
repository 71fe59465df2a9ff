// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "stallprobe.h"

namespace Brindle::Host {

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

void StallProbe::tick()
{
    const qint64 now = m_clock.nsecsElapsed();
    if (m_lastTickNs >= 0) {
        const qint64 stall = now - m_lastTickNs;
        m_longestNs = qMax(m_longestNs, stall);
        // Long ones are told as they happen, so that they can be matched with the log.
        if (stall > 50'000'000)
            qInfo("Event loop stall: %.1f ms, ending at %.3f s", double(stall) / 1e6, double(now) / 1e9);
    }
    m_lastTickNs = now;
}

} // namespace Brindle::Host
