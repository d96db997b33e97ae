// An evaluation's report as one self-contained HTML file: what was evaluated
// and how, the figures and per-class tables (board and reference side by
// side when compared), the charts as embedded PNG pictures, and the command
// line that makes the same figures again.
#pragma once

#include "evaluation/data_set_report.h"

#include <QByteArray>
#include <QString>

#include <vector>

struct ReportChart
{
    QString title;
    QByteArray png; // the picture's PNG file
};

QByteArray reportHtml(const DataSetReport &report, const QString &description, const QString &commandLine,
                      const std::vector<ReportChart> &charts);
