// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

namespace Brindle::Host {

// Tells how long the event loop was kept from running. A zero-interval timer fires on every
// pass of the loop, so the longest gap between two of its ticks is the longest time any one
// piece of work held the loop (and froze the window).
class StallProbe final : public QObject
{
    Q_OBJECT

public:
    explicit StallProbe(QObject *parent = nullptr);

    void start();
    void stop();
    double longestStallMs() const;
    double longestCpuPassMs() const;

private:
    void tick();

    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_lastTickNs = -1;
    qint64 m_longestNs = 0;
    qint64 m_lastCpuNs = 0;
    qint64 m_longestCpuNs = 0;
    long m_lastVoluntary = 0;
    long m_lastInvoluntary = 0;
};

} // namespace Brindle::Host
