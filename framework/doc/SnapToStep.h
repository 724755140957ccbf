#pragma once
// Rounding of a real-valued field to its step, for edit fields whose values
// come in fixed steps (source voltage, current). The edit-control binding
// lives with the dialog's data exchange; this is its toolkit-free core.

#include <optional>
#include <string>

// The text the edit control should show for value, or nullopt when the value
// is already on a step (or step is 0) and the control stays as it is.
// factor is 1 / step; formatId names a printf format in the string table
// ("%g" when it is 0 or missing). The value itself is not changed.
std::optional<std::string> SnapToStepText(double value, double step, double factor, unsigned formatId);
