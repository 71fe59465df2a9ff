#!/usr/bin/env perl
# Copyright (C) 2026 The Brindle Authors
# SPDX-License-Identifier: GPL-3.0-only
#
# Wake-up sampler: sleeps 50 ms at a time until it is told to stop (SIGTERM) and then prints
# how late, at worst, it woke up, in milliseconds. Run beside the host, it tells a stall of the
# host's event loop (the sampler woke up in time) from a pause of the whole machine (it did not).
#
#   perl bench/wakeup.pl >worst-lateness-ms & ...; kill $!
use strict;
use warnings;
use Time::HiRes qw(clock_gettime sleep CLOCK_MONOTONIC);

my $interval = 0.050;
my $worst = 0;
my $stop = 0;
$SIG{TERM} = $SIG{INT} = sub { $stop = 1 };
while (!$stop) {
    my $t0 = clock_gettime(CLOCK_MONOTONIC);
    sleep($interval);
    my $late = clock_gettime(CLOCK_MONOTONIC) - $t0 - $interval;
    $worst = $late if $late > $worst;
}
printf "%.1f\n", $worst * 1000;
