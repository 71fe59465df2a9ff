// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

#include "settings.h"

#include <coreplugin/dialogs/ioptionspage.h>

namespace Brindle::Internal {

class Ui_OptionsWidget;

class OptionsWidget final : public Core::IOptionsPageWidget
{
    Q_OBJECT

public:
    OptionsWidget();
    ~OptionsWidget() override;

    void apply() final;

public slots:
    void scanInstalledExamples();
    void showExamples(const QString &name);

private:
    Ui_OptionsWidget *ui = nullptr;
    Settings settings;
};

} // namespace Brindle::Internal
