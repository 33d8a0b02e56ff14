// The CnsErrors::ReturnErrors value a call throws, if any.
#pragma once

#include <optional>

#include "cns/CnsErrors.h"

template <typename Call>
std::optional<CnsErrors::ReturnErrors> thrownError(Call&& call) {
    try {
        call();
    } catch (const CnsErrors::ReturnErrors& error) {
        return error;
    }
    return std::nullopt;
}
