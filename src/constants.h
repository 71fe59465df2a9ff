// Copyright (C) 2026 The Brindle Authors
// SPDX-License-Identifier: GPL-3.0-only

#pragma once

namespace Brindle::Constants {

// Settings group of the plugin and its keys
const char SETTINGS_GROUP[] = "Brindle";
const char UPDATES_CHECKED[] = "UpdatesCheckedDate";
const char UPDATES_TIMEOUT[] = "UpdatesCheckTimeoutDays";
const char SERVICE_RESTART_TIMEOUT[] = "ServiceRestartTimeoutSeconds";
const char REPOSITORIES[] = "Repositories";

// The host's list of example sets shown on the Welcome screen
const char INSTALLED_EXAMPLES[] = "Help/InstalledExamples";

const char OPTIONS_PAGE_ID[] = "Oskel.Brindle.Plugin.Settings.Page";
const char OPTIONS_CATEGORY[] = "H.Help";

const char MANIFEST_FILE[] = "examples-manifest.xml";
const char ARCHIVE_EXTENSION[] = ".tar.gz";
// A downloaded archive is saved as the tar stream its check inflated.
const char TAR_EXTENSION[] = ".tar";

} // namespace Brindle::Constants
