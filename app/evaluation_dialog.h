// File > Evaluate Data Set...: the labelled data set to evaluate on (a COCO
// annotation file, or a folder: YOLO, a folder per class, images and
// masks), with a COCO file's pictures folder, a class map and, for
// detectors, the confidence down to which detections are scored.
#pragma once

#include "workbench/data_set_scoring.h"

#include <QDialog>

class QDoubleSpinBox;
class QLineEdit;

class EvaluationDialog : public QDialog
{
    Q_OBJECT

public:
    // detector: whether the confidence applies.
    EvaluationDialog(bool detector, QWidget *parent = nullptr);

    void setChoice(const DataSetChoice &choice);
    DataSetChoice choice() const;

private:
    QLineEdit *addPathRow(class QFormLayout *form, const QString &label, const QString &name,
                          const QList<QPair<QString, bool>> &browsers);

    QLineEdit *dataSet = nullptr;
    QLineEdit *images = nullptr;
    QLineEdit *classMap = nullptr;
    QDoubleSpinBox *confidence = nullptr;
};
