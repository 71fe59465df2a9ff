// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "examplestable.h"

#include <QCoreApplication>
#include <QDir>

#include <algorithm>

namespace Brindle::Host {

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("Brindle::Host::ExamplesTable", text);
}

QString shortPath(const QDir &base, const QString &path)
{
    if (path.isEmpty())
        return QLatin1String("-");
    const QString relative = base.relativeFilePath(path);
    if (relative.startsWith(QLatin1String("..")) || QDir::isAbsolutePath(relative))
        return QDir::toNativeSeparators(path);
    return QDir::toNativeSeparators(relative);
}

QString countText(qsizetype count, const char *one, const char *many)
{
    return count == 1 ? tr(one) : tr(many).arg(count);
}

QString orDash(const QString &text)
{
    return text.isEmpty() ? QString(QLatin1String("-")) : text;
}

QString formatRows(const QList<QStringList> &rows)
{
    QList<qsizetype> widths;
    for (const QStringList &row : rows) {
        for (qsizetype column = 0; column < row.size(); ++column) {
            if (widths.size() <= column)
                widths.append(0);
            widths[column] = std::max(widths.at(column), row.at(column).size());
        }
    }
    QString text;
    for (const QStringList &row : rows) {
        QString line;
        for (qsizetype column = 0; column < row.size(); ++column) {
            if (column + 1 < row.size())
                line += row.at(column).leftJustified(widths.at(column)) + QLatin1String("  ");
            else
                line += row.at(column);
        }
        text += line.trimmed().isEmpty() ? QString() : line;
        text += QLatin1Char('\n');
    }
    return text;
}

} // namespace

QString formatExamplesTable(const ExampleSetContents &sets)
{
    if (sets.isEmpty())
        return tr("No example sets are configured.\n");

    QList<QStringList> setRows;
    int total = 0;
    for (const auto &[set, examples] : sets) {
        setRows.append({QLatin1String("  ") + set.displayName,
                        QDir::toNativeSeparators(set.manifestPath),
                        countText(examples.size(), "1 example", "%1 examples")});
        total += int(examples.size());
    }

    QList<QStringList> rows;
    rows.append(
        {tr("SET"), tr("TITLE"), tr("PROJECT FILE"), tr("IMAGE"), tr("FILE TO OPEN"), tr("TAGS")});
    for (const auto &[set, examples] : sets) {
        const QDir base(set.manifestPath);
        for (const ExampleItem &example : examples) {
            const QString image = imageFilePath(example);
            QStringList files;
            for (const QString &file : example.filesToOpen)
                files.append(shortPath(base, file));
            rows.append({set.displayName,
                         orDash(example.name),
                         shortPath(base, example.projectPath),
                         image.isEmpty() ? orDash(example.imageUrl) : shortPath(base, image),
                         orDash(files.join(QLatin1String(", "))),
                         orDash(example.tags.join(QLatin1String(", ")))});
        }
    }

    return tr("Example sets:\n") + formatRows(setRows) + QLatin1Char('\n') + formatRows(rows)
           + countText(total, "1 example", "%1 examples") + QLatin1Char(' ')
           + countText(sets.size(), "in 1 set", "in %1 sets") + QLatin1Char('\n');
}

} // namespace Brindle::Host
