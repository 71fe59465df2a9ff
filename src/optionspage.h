// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include <coreplugin/dialogs/ioptionspage.h>

#include <QObject>

#include <functional>

namespace Brindle::Internal {

class OptionsWidget;

// The plugin's page in the options dialog (category Help). The widget is created anew
// each time the dialog shows the page.
class OptionsPage final : public QObject, public Core::IOptionsPage
{
    Q_OBJECT

public:
    OptionsPage(const QString &displayName,
                Utils::Id id,
                std::function<OptionsWidget *()> creator,
                QObject *parent);
};

} // namespace Brindle::Internal
