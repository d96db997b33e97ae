#include "app/evaluation_dialog.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

EvaluationDialog::EvaluationDialog(bool detector, QWidget *parent) : QDialog(parent)
{
    setWindowTitle(tr("Evaluate Data Set"));
    auto *form = new QFormLayout(this);
    auto *about = new QLabel(tr("Every picture of the data set runs once on the boards (and on the simulator while "
                                "comparing); the report shows how accurate the network is on it."));
    about->setWordWrap(true);
    form->addRow(about);
    // A browser: its button text, and whether it chooses a folder.
    dataSet = addPathRow(form, tr("Data set:"), QStringLiteral("data_set"),
                         {{tr("COCO File..."), false}, {tr("Folder..."), true}});
    dataSet->setToolTip(tr("A COCO annotation file (.json); a YOLO folder (images/, labels/); a folder per class; "
                           "or a folder of images/ and masks/"));
    images = addPathRow(form, tr("COCO pictures:"), QStringLiteral("images"), {{tr("Folder..."), true}});
    images->setPlaceholderText(tr("images/ beside the file, or its folder"));
    classMap = addPathRow(form, tr("Class map:"), QStringLiteral("class_map"), {{tr("File..."), false}});
    classMap->setPlaceholderText(tr("optional: \"data set name = label\" lines"));
    confidence = new QDoubleSpinBox;
    confidence->setObjectName(QStringLiteral("confidence"));
    confidence->setDecimals(4);
    confidence->setRange(0.0001, 1.0);
    confidence->setSingleStep(0.001);
    confidence->setValue(DataSetChoice().confidence);
    confidence->setEnabled(detector);
    confidence->setToolTip(tr("Detections down to this confidence are scored (0.001, as evaluations usually do)"));
    form->addRow(tr("Confidence:"), confidence);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QPushButton *ok = buttons->button(QDialogButtonBox::Ok);
    ok->setText(tr("Evaluate"));
    ok->setEnabled(false);
    connect(dataSet, &QLineEdit::textChanged, ok, [ok](const QString &text) { ok->setEnabled(!text.isEmpty()); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    form->addRow(buttons);
}

QLineEdit *EvaluationDialog::addPathRow(QFormLayout *form, const QString &label, const QString &name,
                                        const QList<QPair<QString, bool>> &browsers)
{
    auto *row = new QHBoxLayout;
    auto *edit = new QLineEdit;
    edit->setObjectName(name);
    edit->setMinimumWidth(360);
    row->addWidget(edit, 1);
    for (const auto &[text, folder] : browsers) {
        auto *button = new QPushButton(text);
        const bool chooseFolder = folder;
        connect(button, &QPushButton::clicked, this, [this, edit, chooseFolder, label] {
            const QString path =
                chooseFolder ? QFileDialog::getExistingDirectory(this, label, edit->text())
                             : QFileDialog::getOpenFileName(this, label, edit->text(),
                                                            tr("COCO annotations or class map (*.json *.txt);;All files (*)"));
            if (!path.isEmpty())
                edit->setText(path);
        });
        row->addWidget(button);
    }
    form->addRow(label, row);
    return edit;
}

void EvaluationDialog::setChoice(const DataSetChoice &choice)
{
    dataSet->setText(choice.path);
    images->setText(choice.images);
    classMap->setText(choice.classMap);
    confidence->setValue(choice.confidence);
}

DataSetChoice EvaluationDialog::choice() const
{
    DataSetChoice choice;
    choice.path = dataSet->text().trimmed();
    choice.images = images->text().trimmed();
    choice.classMap = classMap->text().trimmed();
    choice.confidence = confidence->value();
    return choice;
}
