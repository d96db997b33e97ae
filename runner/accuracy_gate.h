// --min-accuracy and --min-accuracy-ratio: a CI gate on the accuracy of a
// --dataset run.
#pragma once

#include "runner/batch_run.h"
#include "runner/evaluation_options.h"

#include <QString>

// Why the run falls below a gate ("The accuracy AP on DATA is 0.4123, below
// 0.5"), or empty when it passes every gate given.
QString accuracyGateFailure(const EvaluationOptions &options, const RunFigures &figures);
