// The figures below the statistics panel's table, one a row, each named and
// with its definition in its tool tip: frames shown, delivered and in
// flight, the rates, the host CPU per frame and the first frame after a
// description was opened.
#pragma once

#include <QWidget>

class QLabel;
class Workbench;

class StatisticsFigures : public QWidget
{
public:
    explicit StatisticsFigures(QWidget *parent = nullptr);

    void showFiguresOf(const Workbench &workbench);

private:
    // A named row; its value label is found by `key` as its object name.
    QLabel *addFigure(const char *key, const QString &name, const QString &definition);

    QLabel *shown = nullptr;
    QLabel *delivered = nullptr;
    QLabel *inFlight = nullptr;
    QLabel *measuredRate = nullptr;
    QLabel *shownRate = nullptr;
    QLabel *boardRate = nullptr;
    QLabel *hostCpu = nullptr;
    QLabel *firstFrame = nullptr;
};
