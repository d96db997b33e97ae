// The vrax-run command that makes an evaluation of the window again: the
// same description, board, comparison, data set and settings (and the
// environment that attaches virtual boards), for the saved report.
#pragma once

#include "accel/board_session.h"
#include "description/nn_description.h"
#include "workbench/data_set_scoring.h"

#include <QString>
#include <QStringList>

#include <optional>

struct EvaluationSetting
{
    QString description;
    BoardChoice board;
    bool comparing = false;
    DataSetChoice choice;
    std::optional<PictureFit> fit; // chosen in the View menu; none: the description's
    QString jsonPath;              // where the command writes its figures
};

// The program and its arguments.
QStringList evaluationArguments(const EvaluationSetting &setting);
// One shell line: the environment's VRAX_BOARDS, VRAX_SIM_PRECISION and
// VRAX_SIM_BOARD_TIME when set, then the arguments, quoted where needed.
QString evaluationCommandLine(const EvaluationSetting &setting);
