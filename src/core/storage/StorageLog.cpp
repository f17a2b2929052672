#include "StorageLog.h"

Q_LOGGING_CATEGORY(lcStorage, "pendulo.core")
