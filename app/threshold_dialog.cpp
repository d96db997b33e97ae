#include "app/threshold_dialog.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSlider>

#include <cmath>

namespace {

constexpr int sliderSteps = 1000;

} // namespace

ThresholdDialog::ThresholdDialog(QWidget *parent, Changed onChange) : QDialog(parent), changed(std::move(onChange))
{
    setWindowTitle(tr("Thresholds"));
    auto *form = new QFormLayout(this);
    confidence = addRow(form, tr("Confidence above:"), QStringLiteral("confidence"));
    iou = addRow(form, tr("Overlap (IoU) that suppresses:"), QStringLiteral("iou"));
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    QPushButton *reset = buttons->addButton(tr("As the Description Says"), QDialogButtonBox::ResetRole);
    connect(reset, &QPushButton::clicked, this, [this] {
        setThresholds(ownConfidence, ownIou, std::nullopt, std::nullopt);
        changed(std::nullopt, std::nullopt);
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    form->addRow(buttons);
}

QDoubleSpinBox *ThresholdDialog::addRow(QFormLayout *form, const QString &label, const QString &name)
{
    auto *row = new QHBoxLayout;
    auto *slider = new QSlider(Qt::Horizontal);
    slider->setRange(0, sliderSteps);
    slider->setMinimumWidth(200);
    auto *box = new QDoubleSpinBox;
    box->setObjectName(name);
    box->setDecimals(3);
    box->setRange(0.0, 1.0);
    box->setSingleStep(0.01);
    connect(slider, &QSlider::valueChanged, box, [box](int value) {
        if (std::lround(box->value() * sliderSteps) != value)
            box->setValue(double(value) / sliderSteps);
    });
    connect(box, qOverload<double>(&QDoubleSpinBox::valueChanged), this, [this, slider](double value) {
        const QSignalBlocker blocker(slider);
        slider->setValue(int(std::lround(value * sliderSteps)));
        if (!quiet)
            report();
    });
    row->addWidget(slider, 1);
    row->addWidget(box);
    form->addRow(label, row);
    return box;
}

void ThresholdDialog::setThresholds(double descriptionConfidence, double descriptionIou,
                                    std::optional<double> confidenceUsed, std::optional<double> iouUsed)
{
    ownConfidence = descriptionConfidence;
    ownIou = descriptionIou;
    quiet = true;
    confidence->setValue(confidenceUsed.value_or(descriptionConfidence));
    iou->setValue(iouUsed.value_or(descriptionIou));
    quiet = false;
}

void ThresholdDialog::report()
{
    // A value equal to the description's is the description's.
    const auto chosen = [](double value, double own) {
        return std::abs(value - own) < 5e-4 ? std::nullopt : std::optional<double>(value);
    };
    changed(chosen(confidence->value(), ownConfidence), chosen(iou->value(), ownIou));
}
