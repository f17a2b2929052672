#include "StoreErrors.h"

namespace StoreErrors {

PdError combineValidationErrors(const PdError &newError, const PdError &pending)
{
    PdError combined = PdError::make(validationDomain, multipleValidationErrorsCode,
                                     QStringLiteral("Multiple validation errors occurred."));
    combined.detailedErrors.append(newError);
    if (pending.domain == validationDomain && pending.code == multipleValidationErrorsCode)
        combined.detailedErrors.append(pending.detailedErrors);
    else
        combined.detailedErrors.append(pending);
    return combined;
}

} // namespace StoreErrors
