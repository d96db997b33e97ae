// View > Thresholds...: a detector's confidence and IoU thresholds, applied
// while they change to what the window draws, records and saves. Not modal:
// the window goes on running meanwhile.
#pragma once

#include <QDialog>

#include <functional>
#include <optional>

class QDoubleSpinBox;
class QSlider;

class ThresholdDialog : public QDialog
{
    Q_OBJECT

public:
    // changed: called with both thresholds whenever one changes (none: the
    // description's).
    using Changed = std::function<void(std::optional<double> confidence, std::optional<double> iou)>;
    ThresholdDialog(QWidget *parent, Changed changed);

    // The description's thresholds, and those in use.
    void setThresholds(double descriptionConfidence, double descriptionIou, std::optional<double> confidence,
                       std::optional<double> iou);

private:
    QDoubleSpinBox *addRow(class QFormLayout *form, const QString &label, const QString &name);
    void report();

    Changed changed;
    double ownConfidence = 0.5;
    double ownIou = 0.45;
    QDoubleSpinBox *confidence = nullptr;
    QDoubleSpinBox *iou = nullptr;
    bool quiet = false;
};
