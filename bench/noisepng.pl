#!/usr/bin/perl
# Copyright (C) 2026 The Brindle Authors
# SPDX-License-Identifier: GPL-3.0-only
#
# noisepng.pl <MB>: writes to stdout an RGB PNG of random pixels, square, of about <MB> MB.
# Noise does not compress, so the file is as large as its pixels: a large avatar.

use strict;
use warnings;
use Compress::Zlib qw(compress crc32);

my ($mb) = @ARGV;
die "usage: $0 <MB>\n" unless defined $mb && $mb =~ /^\d+(\.\d+)?$/ && $mb > 0;
my $side = int(sqrt($mb * 1024 * 1024 / 3)) || 1;
srand(7);
my $raw = '';
for (1 .. $side) {
    $raw .= "\0" . pack('C*', map { int(rand(256)) } 1 .. 3 * $side);
}
sub chunk {
    my ($type, $data) = @_;
    return pack('N', length $data) . $type . $data . pack('N', crc32($type . $data));
}
binmode STDOUT;
print "\x89PNG\r\n\x1a\n",
    chunk('IHDR', pack('NNCCCCC', $side, $side, 8, 2, 0, 0, 0)),
    chunk('IDAT', compress($raw)),
    chunk('IEND', '');
