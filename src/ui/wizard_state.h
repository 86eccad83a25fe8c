#pragma once
#include <cstdint>

namespace tpl {

// Which page the wizard shows; changed only by the controller's page operations.
enum class WizardState : int32_t {
    None = 0,
    Welcome = 1,
    ChooseDirectory = 2,
    Installing = 3,
    Succeeded = 4,
    Failed = 5,
};

}  // namespace tpl
