// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#include "optionspage.h"

#include "constants.h"
#include "optionswidget.h"

namespace Brindle::Internal {

OptionsPage::OptionsPage(const QString &displayName,
                         Utils::Id id,
                         std::function<OptionsWidget *()> creator,
                         QObject *parent)
    : QObject(parent)
    , Core::IOptionsPage(true)
{
    setId(id);
    setDisplayName(displayName);
    setCategory(Utils::Id(Constants::OPTIONS_CATEGORY));
    setWidgetCreator([creator = std::move(creator)] { return creator(); });
}

} // namespace Brindle::Internal
