// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "checkreportformat.h"

#include <QJsonArray>
#include <QLocale>
#include <QStringList>

namespace Brindle::Host {

namespace {

const int DESCRIPTION_WIDTH = 60;

QString firstLine(const QString &text, int width)
{
    QString line = text.trimmed().section(u'\n', 0, 0).trimmed();
    if (line.size() > width)
        line = line.left(width - 1) + QChar(0x2026);
    return line;
}

QString sizeText(const QJsonValue &bytes)
{
    if (!bytes.isDouble())
        return CheckReportFormat::tr("?");
    return QLocale::c().formattedDataSize(qint64(bytes.toDouble()), 1, QLocale::DataSizeIecFormat);
}

QString imageText(const QJsonObject &project)
{
    const QString source = project.value(QLatin1String("imageSource")).toString();
    const QString image = project.value(QLatin1String("image")).toString();
    if (source == QLatin1String("avatar"))
        return CheckReportFormat::tr("avatar (%1)").arg(image);
    if (source == QLatin1String("icons"))
        return CheckReportFormat::tr("icons folder (%1)").arg(image);
    return CheckReportFormat::tr("default (%1)").arg(image);
}

void appendFindings(QString &out, const QJsonArray &findings, const QString &indent)
{
    for (const QJsonValue &value : findings) {
        const QJsonObject finding = value.toObject();
        const bool error
            = finding.value(QLatin1String("severity")).toString() == QLatin1String("error");
        out += indent + (error ? CheckReportFormat::tr("error") : CheckReportFormat::tr("warning"))
               + QLatin1String(": ") + finding.value(QLatin1String("message")).toString()
               + QLatin1String(" [") + finding.value(QLatin1String("kind")).toString()
               + QLatin1String("]\n");
    }
}

int countSeverity(const QJsonArray &findings, const QString &severity)
{
    int count = 0;
    for (const QJsonValue &value : findings) {
        if (value.toObject().value(QLatin1String("severity")).toString() == severity)
            ++count;
    }
    return count;
}

} // namespace

QString CheckReportFormat::text(const QJsonObject &report)
{
    QString out = tr("Group %1 (%2)\n")
                      .arg(report.value(QLatin1String("group")).toString(),
                           report.value(QLatin1String("url")).toString());
    appendFindings(out, report.value(QLatin1String("findings")).toArray(), QString());
    if (!report.value(QLatin1String("reachable")).toBool()) {
        const QString failure = report.value(QLatin1String("failure")).toString();
        if (!failure.isEmpty())
            out += tr("error: the group could not be checked: %1\n").arg(failure);
        return out;
    }

    int clean = 0;
    int withWarnings = 0;
    int withErrors = 0;
    const QJsonArray projects = report.value(QLatin1String("projects")).toArray();
    for (const QJsonValue &value : projects) {
        const QJsonObject project = value.toObject();
        QStringList fields;
        fields << tr("\"%1\"").arg(project.value(QLatin1String("title")).toString());
        const QString description
            = firstLine(project.value(QLatin1String("description")).toString(), DESCRIPTION_WIDTH);
        fields << (description.isEmpty() ? tr("no description") : description);
        QStringList tags;
        for (const QJsonValue &tag : project.value(QLatin1String("tags")).toArray())
            tags << tag.toString();
        fields << tr("tags: %1").arg(tags.join(QLatin1String(", ")));
        if (project.value(QLatin1String("installed")).toBool()) {
            fields << tr("image: %1").arg(imageText(project));
            fields << tr("project: %1").arg(project.value(QLatin1String("projectFile")).toString());
            fields << tr("opens: %1").arg(project.value(QLatin1String("fileToOpen")).toString());
        } else {
            fields << tr("not installed");
        }
        fields << tr("archive: %1").arg(sizeText(project.value(QLatin1String("archiveBytes"))));
        fields << tr("unpacked: %1").arg(sizeText(project.value(QLatin1String("unpackedBytes"))));
        out += project.value(QLatin1String("name")).toString() + QLatin1String(": ")
               + fields.join(QLatin1String(" | ")) + u'\n';

        const QJsonArray findings = project.value(QLatin1String("findings")).toArray();
        appendFindings(out, findings, QLatin1String("  "));
        if (countSeverity(findings, QLatin1String("error")) > 0)
            ++withErrors;
        else if (countSeverity(findings, QLatin1String("warning")) > 0)
            ++withWarnings;
        else
            ++clean;
    }

    const QJsonObject summary = report.value(QLatin1String("summary")).toObject();
    out += tr("%1 projects: %2 clean, %3 with warnings, %4 with errors; %5 errors, %6 warnings "
              "in all\n")
               .arg(projects.size())
               .arg(clean)
               .arg(withWarnings)
               .arg(withErrors)
               .arg(summary.value(QLatin1String("errors")).toInt())
               .arg(summary.value(QLatin1String("warnings")).toInt());
    return out;
}

int CheckReportFormat::exitCode(const QJsonObject &report)
{
    const QJsonValue reachable = report.value(QLatin1String("reachable"));
    const QJsonObject summary = report.value(QLatin1String("summary")).toObject();
    const QJsonValue errors = summary.value(QLatin1String("errors"));
    const QJsonValue warnings = summary.value(QLatin1String("warnings"));
    if (!reachable.isBool() || !errors.isDouble() || !warnings.isDouble() || errors.toInt() > 0)
        return 2;
    if (!reachable.toBool())
        return 3;
    return warnings.toInt() > 0 ? 1 : 0;
}

} // namespace Brindle::Host
