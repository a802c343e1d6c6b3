#pragma once

namespace delivery {

// Decides the exit code: only Completed ends the run with 1.
enum class DeliveryOutcome { Stopped, Completed };

}  // namespace delivery
