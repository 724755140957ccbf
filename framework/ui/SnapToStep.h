#pragma once
// Real-valued edit fields whose values come in fixed steps (a source voltage in
// 2.5 kV steps, a current in 0.5 mA steps): after the usual exchange the edit
// control shows the value rounded to the nearest step, while the member keeps
// what was typed until the next exchange reads the control again.

#include "framework/ui/DataExchange.h"

class QLineEdit;

// Shows *value rounded to step (factor is 1 / step) in edit, formatted by the
// string-table format formatId ("%g" when it is 0 or missing). A value already
// on a step, a step of 0 or a null edit or value leave the control untouched;
// so does a control that already shows the text. *value is not changed.
void SnapToStep(QLineEdit* edit, double* value, double step, double factor, unsigned formatId);

// DDX_Text of a double, the range check of DDV_MinMaxDouble, then SnapToStep
// on the same control, in both directions of the exchange. Only a QLineEdit
// shows the rounded text.
void DDX_TextSnap(CDataExchange* pDX, const char* ctrl, double& value, double minVal, double maxVal,
                  double step, double factor, unsigned formatId);
