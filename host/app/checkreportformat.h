// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include <QCoreApplication>
#include <QJsonObject>
#include <QString>

namespace Brindle::Host {

// The report of the examples plugin's check of one group (its "report" property), for
// maintainers and their CI: one line per project with what the IDE will show, its errors and
// warnings below it, then a summary.
class CheckReportFormat
{
    Q_DECLARE_TR_FUNCTIONS(Brindle::Host::CheckReportFormat)

public:
    static QString text(const QJsonObject &report);
    // 0 clean, 1 warnings only, 2 any error, 3 the group could not be reached (and nothing
    // else went wrong). Anything the report does not say clearly counts as an error.
    static int exitCode(const QJsonObject &report);
};

} // namespace Brindle::Host
