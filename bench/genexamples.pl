#!/usr/bin/perl
# Copyright (C) 2026 The Brindle Authors
# SPDX-License-Identifier: GPL-3.0-only
#
# Writes a group of example projects in gitlab-server's samples layout (samples/README.md):
#
#   genexamples.pl <samples dir> <group path> <count> <small|large> <avatar.png> [seed]
#
# Every project is a source tree of C++, QML, CMake and translation files with some
# incompressible assets; its archive is about 0.5 MB (small) or 5 MB (large) compressed.
# The same arguments always give the same bytes (perl-base only, so any Debian has it).
use strict;
use warnings;

my ($root, $group, $count, $size, $avatar, $seed) = @ARGV;
die "usage: $0 <samples dir> <group path> <count> <small|large> <avatar.png> [seed]\n"
    unless defined $avatar && $count =~ /^\d+$/ && $size =~ /^(small|large)$/;
srand($seed // 1);

my $scale = $size eq 'large' ? 10 : 1;
my ($modules, $images) = $size eq 'large' ? (34, 60) : (4, 4);
my @words = qw(account action adapter angle anchor battery beacon buffer button cache camera
    canvas channel clock color compass contact counter cursor device dialog display document
    engine entry event filter folder frame gauge gesture handler header history icon image index
    input item journal label layer layout level light list locale marker media menu message meter
    model motion network node note option orientation page palette panel path player point
    position preview profile progress query queue radius range reader record region renderer
    request result route sample scale scene screen search sensor session setting shape signal
    slider sound source speed state status storage stream style surface swipe switch tab task
    text theme thumbnail timer title toggle token track transfer value vector view volume wallet
    widget window zone);
my @types = qw(int qreal bool QString QVariant QStringList QPointF QSizeF QColor QUrl quint32);
sub pick { $_[rand @_] }
sub camel { my $w = shift; ucfirst $w }
sub ident { my $n = 1 + int rand 3; my $s = pick(@words); $s .= camel(pick(@words)) for 2 .. $n; $s }

# One body of varied code lines; files take slices of it. Deflate only looks 32 KiB back, so
# slices from far apart compress like freshly written code.
my @corpus;
while (@corpus < 60000) {
    my ($class, $fn, $arg, $member) = (camel(ident()), ident(), ident(), ident());
    my $type = pick(@types);
    push @corpus,
        "// " . join(' ', map { pick(@words) } 1 .. 4 + int rand 9) . ".",
        "$type $class\::$fn(const $type &$arg) const",
        "{",
        "    if (m_$member == $arg)",
        "        return m_" . ident() . ";",
        "    for (int i = 0; i < " . int(rand 64) . "; ++i)",
        "        m_$member += " . ident() . "(i * " . int(rand 1000) . ");",
        "    emit ${fn}Changed(\"" . join('-', map { pick(@words) } 1 .. 3) . "\");",
        "    return " . ident() . "(m_$member, $arg);",
        "}",
        "";
    push @corpus, "    property $type $fn: " . ident() . "." . ident() . " * " . rand(10),
        "    Rectangle { id: $member; width: " . int(rand 800) . "; color: \"#"
        . sprintf('%06x', rand 0xffffff) . "\" }"
        if rand() < 0.3;
}
my $pool = pack 'N*', map { int rand 4294967296 } 1 .. 262144; # 1 MiB of noise for assets

sub text_of {
    my $bytes = int shift;
    my $i = int rand @corpus;
    my $text = '';
    while (length $text < $bytes) {
        $text .= $corpus[$i++ % @corpus] . "\n";
    }
    return $text;
}

sub noise_of {
    my $bytes = int shift;
    my $out = '';
    while (length $out < $bytes) {
        my $n = $bytes - length $out;
        $n = 65536 if $n > 65536;
        $out .= substr($pool, int rand(length($pool) - $n), $n);
    }
    return $out;
}

sub write_file {
    my ($path, $data) = @_;
    (my $dir = $path) =~ s{/[^/]*$}{};
    my $acc = '';
    for (split m{/}, $dir) { $acc .= "$_/"; mkdir $acc }
    open my $fh, '>:raw', $path or die "$path: $!\n";
    print $fh $data;
    close $fh or die "$path: $!\n";
}

open my $ah, '<:raw', $avatar or die "$avatar: $!\n";
my $avatarBytes = do { local $/; <$ah> };
close $ah;

my $groupDir = "$root/$group";
write_file("$groupDir/group.json", qq({"name": "Benchmark examples", "description": "Generated"}\n));
for my $n (1 .. $count) {
    my $name = sprintf 'example-%03d', $n;
    my $dir = "$groupDir/$name";
    my $files = "$dir/files";
    write_file("$dir/project.json", qq({"name": "Bench Example $n", "description": )
        . qq("Generated source tree $n for the sync benchmark", "topics": ["bench", "$size"], )
        . qq("last_activity_at": "2026-01-15T10:00:00.000Z", "avatar": "avatar.png"}\n));
    write_file("$dir/avatar.png", $avatarBytes);

    my @sources;
    for (1 .. $modules) {
        my $module = ident();
        for (1 .. 5 + int rand 6) {
            my $unit = lc ident();
            write_file("$files/src/$module/$unit.h", "#pragma once\n\n" . text_of(4000 + rand 12000));
            write_file("$files/src/$module/$unit.cpp",
                qq(#include "$unit.h"\n\n) . text_of(8000 + rand 40000));
            push @sources, "src/$module/$unit.cpp";
        }
    }
    write_file("$files/src/main.cpp", "#include <QGuiApplication>\n\n" . text_of(3000)
        . "int main(int argc, char *argv[])\n{\n    QGuiApplication app(argc, argv);\n"
        . "    return app.exec();\n}\n");
    write_file("$files/CMakeLists.txt", "cmake_minimum_required(VERSION 3.16)\nproject($name)\n"
        . "find_package(Qt6 REQUIRED COMPONENTS Quick)\nqt_add_executable($name src/main.cpp\n    "
        . join("\n    ", @sources) . ")\n");
    write_file("$files/README.md", "# Bench Example $n\n\n" . text_of(2000));
    my $window = $n % 2 ? 'ApplicationWindow' : 'Window';
    write_file("$files/qml/main.qml", "import QtQuick\nimport QtQuick.Controls\n\n$window {\n"
        . text_of(2000) . "}\n");
    write_file("$files/qml/components/" . camel(ident()) . ".qml",
        "import QtQuick\n\nItem {\n" . text_of(3000 + rand 9000) . "}\n") for 1 .. 3 * $scale;
    for my $lang (qw(de ru fi)) {
        write_file("$files/translations/${name}_$lang.ts",
            qq(<?xml version="1.0" encoding="utf-8"?>\n<TS version="2.1" language="$lang">\n)
            . text_of(6000 * $scale) . "</TS>\n");
    }
    write_file("$files/assets/images/" . lc(ident()) . ".png", "\x89PNG\r\n\x1a\n"
        . noise_of(8000 + rand 50000)) for 1 .. $images;
    write_file("$files/assets/sounds/" . lc(ident()) . ".wav", "RIFF" . noise_of(20000 + rand 60000))
        for 1 .. 1 + $scale;
    write_file("$files/icons/128x128/$name.png", $avatarBytes) if $n % 3 == 0;
}
