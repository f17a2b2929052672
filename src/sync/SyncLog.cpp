#include "SyncLog.h"

Q_LOGGING_CATEGORY(lcSync, "pendulo.sync")
