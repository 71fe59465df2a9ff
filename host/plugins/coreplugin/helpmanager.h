// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include "core_global.h"

#include <QObject>

namespace Core::HelpManager {

class CORE_EXPORT Signals final : public QObject
{
    Q_OBJECT

public:
    static Signals *instance();

signals:
    // The set of documentation and example sets is known; re-read "Help/InstalledExamples".
    void setupFinished();
    // Registered documentation changed; re-read the example manifests.
    void documentationChanged();

private:
    Signals() = default;
};

} // namespace Core::HelpManager
