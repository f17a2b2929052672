#pragma once

#include <QLoggingCategory>

// Log category of the store's location, opening and migration code ("pendulo.core").
Q_DECLARE_LOGGING_CATEGORY(lcStorage)
